#pragma once
// Fixtures of the page view tests: small documents built by hand, pictures
// painted in memory, the saved bytes of a document, and synthetic input
// events sent to a widget.
#include "../common/PlaceElement.h"
#include "Classes.h"
#include "FBPictureElement.h"
#include "uDataFile.h"
#include "uFotobuchBildManager.h"
#include "uFotobuchDocument.h"
#include "uFotobuchMainview.h"
#include "uTransformation.h"
#include "uKalender.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace pvtest {

// A painted photo: sky, sun, hills; Seed varies the colours.
inline std::unique_ptr<QImage> Photo(int W = 400, int H = 300, int Seed = 0)
{
    auto img = std::make_unique<QImage>(W, H, QImage::Format_RGB32);
    QPainter p(img.get());
    QLinearGradient sky(0, 0, 0, H);
    sky.setColorAt(0, QColor(70 + Seed * 40 % 120, 130, 220));
    sky.setColorAt(1, QColor(200, 225, 250));
    p.fillRect(img->rect(), sky);
    p.setBrush(QColor(255, 220, 60));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(W * 0.75, H * 0.25), W * 0.08, W * 0.08);
    p.setBrush(QColor(60, 140 + Seed * 30 % 100, 70));
    p.drawEllipse(QPointF(W * 0.3, H * 1.05), W * 0.6, H * 0.45);
    p.setBrush(QColor(40, 110, 50));
    p.drawEllipse(QPointF(W * 0.85, H * 1.1), W * 0.5, H * 0.4);
    return img;
}

// Gives a frame a picture of its own.
inline void GivePicture(TFBPictureElement* Frame, int Seed = 0, int W = 400, int H = 300)
{
    Frame->SetRefIndex(-1);
    Frame->RefIndex = BildManager().AddBitmap(Photo(W, H, Seed));
    Frame->CanZoomAndTrack = true;
}

inline TFBPictureElement* AddFrame(TFBPage* Page, float CX, float CY, float W, float H)
{
    TFBPictureElement* frame = PlaceElement<TFBPictureElement>(Page->Pictures, Page, CX, CY, W, H);
    frame->CanZoomAndTrack = true;
    return frame;
}

inline TFBTextElement* AddText(TFBPage* Page, float CX, float CY, float W, float H, float Angle = 0)
{
    return PlaceElement<TFBTextElement>(Page->Elements, Page, CX, CY, W, H, Angle);
}

inline TFBKalenderElement* AddCalendar(TFBPage* Page, float CX, float CY, float W, float H)
{
    return PlaceElement<TFBKalenderElement>(Page->Calendars, Page, CX, CY, W, H);
}

// The client pixel of the view where a point of Page (millimetres) appears.
inline QPoint PagePixel(TFBMainView& View, TFBDocument& Doc, const TFBPage* Page, float X, float Y)
{
    View.SetupTransformation();
    TTransformation& T = View.Transformation();
    T.Push();
    Doc.TranslateToPage(T, Page);
    float dx, dy;
    T.Transform(X, Y, dx, dy);
    T.Pop();
    return QPoint(int(std::lround(dx)), int(std::lround(dy)));
}

// A document of Pages empty pages of 200 x 150 mm in the screen mode.
inline void MakeDocument(TFBDocument& Doc, uint8_t ScreenMode, int Pages)
{
    Doc.Clear();
    BildManager().Clear();
    Doc.ScreenMode = ScreenMode;
    Doc.PageWidth = 200;
    Doc.PageHeight = 150;
    Doc.Stegbreite = 2;
    Doc.Umschlagbreite = 4;
    Doc.PrintSetting = 0;
    for (int i = 0; i < Pages; ++i)
        Doc.Pages.Add(std::make_unique<TFBPage>(&Doc));
}

// The document as its project file would hold it.
inline std::vector<uint8_t> SavedBytes(TFBDocument& Doc)
{
    const bool modified = Doc.Modified;
    TMemoryStream s;
    {
        TMemoryDataFile f(s);
        Doc.SaveToDataFile(f);
    }
    Doc.Modified = modified;
    return {s.Bytes().begin(), s.Bytes().end()};
}

using TRecords = std::vector<std::pair<std::string, std::vector<uint8_t>>>;

// The records of a saved document in file order, by "section/key".
inline TRecords Records(const std::vector<uint8_t>& b)
{
    TRecords out;
    size_t pos = 20;
    auto i32 = [&](size_t p) {
        return int32_t(uint32_t(b[p]) | uint32_t(b[p + 1]) << 8 | uint32_t(b[p + 2]) << 16 |
                       uint32_t(b[p + 3]) << 24);
    };
    while (pos + 168 <= b.size()) {
        const std::string name = std::string(reinterpret_cast<const char*>(&b[pos + 4])) + "/" +
                                 std::string(reinterpret_cast<const char*>(&b[pos + 132]));
        const int32_t len = i32(pos + 164);
        pos += 168;
        if (len < 0 || pos + size_t(len) > b.size())
            break;
        out.push_back({name, std::vector<uint8_t>(b.begin() + long(pos), b.begin() + long(pos + size_t(len)))});
        pos += size_t(len);
    }
    return out;
}

// A saved document with the picture manager's entries sorted: the manager
// keeps its pictures in the order they were last used, which is no content.
inline TRecords Canonical(const std::vector<uint8_t>& Bytes)
{
    TRecords plain;
    std::map<std::string, TRecords> pictures;  // "BildManager/BildN" -> its records
    const std::string prefix = "BildManager/Bild";
    for (auto& r : Records(Bytes)) {
        if (r.first.rfind(prefix, 0) == 0) {
            const size_t slash = r.first.find('/', prefix.size());
            if (slash != std::string::npos) {
                pictures[r.first.substr(0, slash)].push_back({r.first.substr(slash), r.second});
                continue;
            }
        }
        plain.push_back(std::move(r));
    }
    std::vector<TRecords> sorted;
    for (auto& [name, records] : pictures)
        sorted.push_back(records);
    std::sort(sorted.begin(), sorted.end());
    for (auto& records : sorted)
        for (auto& r : records)
            plain.push_back({"BildManager/Bild*" + r.first, r.second});
    return plain;
}

// The records in which two saved documents differ, for messages.
inline std::string RecordDiff(const TRecords& A, const TRecords& B)
{
    std::string diff;
    for (size_t i = 0; i < std::max(A.size(), B.size()) && diff.size() < 600; ++i) {
        if (i < A.size() && i < B.size() && A[i] == B[i])
            continue;
        diff += (i < A.size() ? A[i].first : "-") + " <> " + (i < B.size() ? B[i].first : "-") + "; ";
    }
    return diff;
}

// Expects two saved documents to hold the same content.
#define EXPECT_SAME_DOCUMENT(A, B)                                                        \
    do {                                                                                  \
        const auto ca_ = pvtest::Canonical(A), cb_ = pvtest::Canonical(B);               \
        EXPECT_TRUE(ca_ == cb_) << "documents differ: " << pvtest::RecordDiff(ca_, cb_); \
    } while (0)

// ---- synthetic input ----------------------------------------------------------------------

inline void Mouse(QWidget& W, QEvent::Type Type, QPoint P, Qt::MouseButton Button,
                  Qt::MouseButtons Buttons, Qt::KeyboardModifiers Mods = Qt::NoModifier)
{
    QMouseEvent e(Type, QPointF(P), QPointF(W.mapToGlobal(P)), Button, Buttons, Mods);
    QApplication::sendEvent(&W, &e);
}

inline void Press(QWidget& W, QPoint P, Qt::MouseButton B = Qt::LeftButton,
                  Qt::KeyboardModifiers Mods = Qt::NoModifier)
{
    Mouse(W, QEvent::MouseButtonPress, P, B, B, Mods);
}

inline void MoveTo(QWidget& W, QPoint P, Qt::MouseButtons Held = Qt::LeftButton,
                   Qt::KeyboardModifiers Mods = Qt::NoModifier)
{
    Mouse(W, QEvent::MouseMove, P, Qt::NoButton, Held, Mods);
}

inline void Release(QWidget& W, QPoint P, Qt::MouseButton B = Qt::LeftButton)
{
    Mouse(W, QEvent::MouseButtonRelease, P, B, Qt::NoButton);
}

inline void Drag(QWidget& W, QPoint From, QPoint To, int Steps = 4)
{
    Press(W, From);
    for (int i = 1; i <= Steps; ++i)
        MoveTo(W, From + (To - From) * i / Steps);
    Release(W, To);
}

inline bool Wheel(QWidget& W, QPoint P, int Delta, Qt::KeyboardModifiers Mods = Qt::NoModifier)
{
    QWheelEvent e(QPointF(P), QPointF(W.mapToGlobal(P)), QPoint(), QPoint(0, Delta), Qt::NoButton,
                  Mods, Qt::NoScrollPhase, false);
    e.setAccepted(false);
    QApplication::sendEvent(&W, &e);
    return e.isAccepted();
}

inline void Key(QWidget& W, int K, Qt::KeyboardModifiers Mods = Qt::NoModifier)
{
    QKeyEvent press(QEvent::KeyPress, K, Mods);
    QApplication::sendEvent(&W, &press);
    QKeyEvent release(QEvent::KeyRelease, K, Mods);
    QApplication::sendEvent(&W, &release);
}

}  // namespace pvtest
