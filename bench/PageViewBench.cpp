// Repainting the page view of a photo-book spread with six photos (3000 x
// 2000 pixels each) at 1200 x 800 pixels: while a text box is dragged (one
// mouse move and its synchronous repaint per frame), and a full repaint of
// the view for comparison. Milliseconds per frame; the goal is under 16.
// argb:0 uses pictures as the picture manager decodes them (RGB32), argb:1
// the same pictures in ARGB32.
#include "BenchSupport.h"
#include "FBPictureElement.h"
#include "uFotobuchBildManager.h"
#include "uFotobuchDocument.h"
#include "uFotobuchMainview.h"
#include "uTransformation.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <array>
#include <memory>

namespace {

// A smooth picture painted at once: the picture manager keeps a compressed copy of
// every picture it is given, which grainy photos would make slow to set up.
// Decoded photos are RGB32; the ARGB32 variant shows what the format costs.
std::unique_ptr<QImage> Photo(int Seed, QImage::Format Format)
{
    auto img = std::make_unique<QImage>(3000, 2000, Format);
    QPainter p(img.get());
    QLinearGradient sky(0, 0, 0, 2000);
    sky.setColorAt(0, QColor(60 + Seed * 30, 120, 220));
    sky.setColorAt(1, QColor(210, 230, 250));
    p.fillRect(img->rect(), sky);
    p.setBrush(QColor(50, 130 + Seed * 15, 60));
    p.drawEllipse(QPointF(900, 2100), 1800, 900);
    return img;
}

struct Scene {
    TFBDocument Doc;
    std::unique_ptr<TFBMainView> View;
    TFBTextElement* Text = nullptr;
    explicit Scene(QImage::Format Format)
    {
        Doc.ScreenMode = 1;
        Doc.PageWidth = 200;
        Doc.PageHeight = 150;
        for (int i = 0; i < 4; ++i)
            Doc.Pages.Add(std::make_unique<TFBPage>(&Doc));
        int seed = 0;
        for (int p : {1, 2}) {
            TFBPage* page = Doc.Pages.GetPage(p);
            for (auto [cx, cy, w, h] : {std::array<float, 4>{100, 45, 170, 70}, {55, 112, 80, 55},
                                        {145, 112, 80, 55}}) {
                auto* e = AddElement(page->Pictures, std::make_unique<TFBPictureElement>(page), cx,
                                     cy, w, h);
                e->CanZoomAndTrack = true;
                e->RefIndex = BildManager().AddBitmap(Photo(seed++, Format));
            }
        }
        TFBPage* page = Doc.Pages.GetPage(1);
        Text = AddElement(page->Elements, std::make_unique<TFBTextElement>(page), 100, 75, 60, 20);
        View = std::make_unique<TFBMainView>(nullptr, &Doc);
        View->resize(1200, 800);
        View->show();
        QCoreApplication::processEvents();
        View->SetScreen(1);
        View->repaint();  // decodes and caches what the first paint needs
    }
    QPoint TextPoint()
    {
        View->SetupTransformation();
        TTransformation& T = View->Transformation();
        T.Push();
        Doc.TranslateToPage(T, Text->Page);
        float x, y;
        T.Transform(Text->CenterX, Text->CenterY, x, y);
        T.Pop();
        return QPoint(int(x), int(y));
    }
};

void Send(QWidget& W, QEvent::Type Type, QPoint P, Qt::MouseButton B, Qt::MouseButtons Held)
{
    QMouseEvent e(Type, QPointF(P), QPointF(W.mapToGlobal(P)), B, Held, Qt::NoModifier);
    QApplication::sendEvent(&W, &e);
}

QImage::Format FormatOf(const benchmark::State& state)
{
    return state.range(0) ? QImage::Format_ARGB32 : QImage::Format_RGB32;
}

void BM_DragTextOverSpread(benchmark::State& state)
{
    Scene s(FormatOf(state));
    const QPoint start = s.TextPoint();
    Send(*s.View, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    int step = 0;
    for (auto _ : state) {
        // Back and forth over the pictures of the left page.
        const int dx = (step % 200) < 100 ? step % 100 : 100 - step % 100;
        ++step;
        Send(*s.View, QEvent::MouseMove, start + QPoint(3 * dx, dx), Qt::NoButton, Qt::LeftButton);
    }
    Send(*s.View, QEvent::MouseButtonRelease, start, Qt::LeftButton, Qt::NoButton);
}
BENCHMARK(BM_DragTextOverSpread)->ArgName("argb")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_RepaintWholeSpread(benchmark::State& state)
{
    Scene s(FormatOf(state));
    for (auto _ : state)
        s.View->repaint();
}
BENCHMARK(BM_RepaintWholeSpread)->ArgName("argb")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

LUMI_BENCHMARK_MAIN()
