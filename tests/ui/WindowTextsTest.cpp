// Every window the program opens, in every language it offers: each text of a
// label, button, group box or column header fits its widget and overlaps no
// neighbour, and each visible text is the language's own.
//
// The windows are reached as a user reaches them: every command of the main
// window, of its panels and of the page's context menu whose text ends in
// "..." (the mark of a command that opens a window) is run, every window that
// shows is checked and closed again, and its own such commands are run in turn.
// Qt's own dialogs are checked against Qt's catalogue of the language.
#include "../common/PlaceElement.h"
#include "FBPictureElement.h"
#include "FDateiNeuDlg.h"
#include "FMainform.h"
#include "SsFileDialog.h"
#include "SsShellListView.h"
#include "PageViewFixture.h"
#include "Printers.h"
#include "QwColorPopupButton.h"
#include "uFotobuchDocument.h"
#include "uFotobuchMainview.h"
#include "uQwRegistry.h"
#include "uDlgDruckAbbrechen.h"
#include "uDrawContext.h"
#include "uFotobuchPageTemplate.h"
#include "uLeftPanelLists.h"
#include "uModalDialog.h"
#include "uUndo.h"
#include "ulocalize.h"
#include "uQwDruckDlg.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QTreeWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QSet>
#include <QStandardPaths>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTextDocumentFragment>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <tuple>
#include <utility>

namespace {

// Names that a window shows as they are in every language.
const char* const cNames[] = {
    "Brenmoor Vantoria",  // the program's name
    "Orvane",             // the maker's name
    "PDF",                // the file format named in printer types
    "RGB", "HSL",         // colour models named in Qt's colour dialog
    "FILE:",              // the port of the file printer, shown as its location
    "mm",                 // the unit of lengths
    "FV", "Build",        // the version line of the about dialog
    // The language menu names each language in its own words.
    "Deutsch", "English", "Français", "Italiano", "Español", "Nederlands",
};

// The text as shown: accelerator marks removed, white space simplified.
QString Shown(const QString& Text)
{
    QString s;
    for (int i = 0; i < Text.size(); ++i) {
        if (Text[i] == u'&' && i + 1 < Text.size()) {
            ++i;
            s += Text[i];
            continue;
        }
        s += Text[i];
    }
    return s.simplified();
}

bool HasLetter(const QString& Text)
{
    for (QChar c : Text)
        if (c.isLetter())
            return true;
    return false;
}

// The translations a Qt catalogue (.qm) holds.
QStringList CatalogueTexts(const QString& FileName)
{
    QFile f(FileName);
    QStringList texts;
    if (!f.open(QIODevice::ReadOnly))
        return texts;
    const QByteArray d = f.readAll();
    const auto u32 = [&d](qsizetype p) {
        return p + 4 > d.size() ? 0u
                                : (uint32_t(uint8_t(d[p])) << 24) | (uint32_t(uint8_t(d[p + 1])) << 16)
                                      | (uint32_t(uint8_t(d[p + 2])) << 8) | uint32_t(uint8_t(d[p + 3]));
    };
    for (qsizetype p = 16; p + 5 <= d.size();) {
        const uint8_t tag = uint8_t(d[p]);
        const qsizetype length = u32(p + 1);
        const qsizetype start = p + 5;
        p = start + length;
        if (tag != 0x69)  // the messages
            continue;
        for (qsizetype q = start; q < std::min(p, d.size());) {
            const uint8_t t = uint8_t(d[q++]);
            if (t == 1)
                continue;
            if (t == 5) {
                q += 4;
                continue;
            }
            const uint32_t n = u32(q);
            q += 4;
            if (n == 0xFFFFFFFFu)
                continue;
            if (t == 3 && q + qsizetype(n) <= d.size()) {
                QString s;
                for (uint32_t i = 0; i + 1 < n; i += 2)
                    s += QChar(char16_t((uint8_t(d[q + i]) << 8) | uint8_t(d[q + i + 1])));
                texts << s;
            }
            q += n;
        }
    }
    return texts;
}

// The texts a window may show in one language.
struct TAllowedTexts {
    QSet<QString> Texts;
    std::vector<QRegularExpression> Patterns;

    void Add(QString Value)
    {
        Value.replace(QLatin1String("#13#"), QLatin1String("\n")).replace(QLatin1String("#10#"), QLatin1String("\n"));
        for (const QString& part : Value.split(QRegularExpression(QStringLiteral("[\r\n|]+")))) {
            const QString s = Shown(part);
            if (s.isEmpty())
                continue;
            Texts.insert(s);
            // A text with a place for a value matches whatever fills it.
            static const QRegularExpression place(QStringLiteral("%(\\d+|L\\d+|[-.0-9]*[sdfxug])"));
            // (Only where the text around the places says something: "%1" alone would match anything.)
            QString words = s;
            words.remove(place);
            if (s.contains(place) && std::count_if(words.begin(), words.end(), [](QChar c) { return c.isLetter(); }) >= 3) {
                QString pattern;
                for (const QString& piece : s.split(place))
                    pattern += QRegularExpression::escape(piece) + QStringLiteral(".*");
                pattern.chop(2);
                Patterns.emplace_back(QRegularExpression::anchoredPattern(pattern));
            }
        }
    }
    bool Whole(QString Text) const
    {
        if (Texts.contains(Text))
            return true;
        // A text set off by dashes, as "-none-".
        while (Text.size() > 2 && Text.startsWith(u'-') && Text.endsWith(u'-'))
            Text = Text.mid(1, Text.size() - 2);
        if (Texts.contains(Text))
            return true;
        for (const QRegularExpression& p : Patterns)
            if (p.match(Text).hasMatch())
                return true;
        return false;
    }
    // A text of the language or a name, or a row of them with numbers and
    // addresses between (captions built of several texts).
    bool Has(const QString& Text) const
    {
        if (Whole(Text))
            return true;
        const QStringList words = Text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const auto loose = [](const QString& W) {
            return W == QLatin1String("-") || !HasLetter(W) || std::any_of(W.begin(), W.end(), [](QChar c) { return c.isDigit(); })
                   || (W.size() == 1 && W[0].isUpper())  // a label, as in "Tradition A"
                   || W.contains(QLatin1String("://")) || W.startsWith(QLatin1String("www."))
                   || W.startsWith(QLatin1Char('/'))  // a path
                   || W.startsWith(QLatin1String("(*."));  // a file type's pattern
        };
        std::vector<bool> reached(size_t(words.size()) + 1, false);
        reached[0] = true;
        for (qsizetype j = 1; j <= words.size(); ++j)
            for (qsizetype i = 0; i < j && !reached[size_t(j)]; ++i) {
                if (!reached[size_t(i)])
                    continue;
                const QString run = words.mid(i, j - i).join(QLatin1Char(' '));
                reached[size_t(j)] = (j == i + 1 && loose(run)) || Whole(run) || Whole(run + QStringLiteral("..."))
                                     || (run.endsWith(QLatin1Char(':')) && Whole(run.chopped(1).trimmed()));
            }
        return reached.back();
    }
};

QString PathOf(const QWidget* W)
{
    QStringList parts;
    for (const QWidget* w = W; w; w = w->isWindow() ? nullptr : w->parentWidget())
        parts.prepend(QString::fromLatin1(w->metaObject()->className())
                      + (w->objectName().isEmpty() ? QString() : QLatin1Char('#') + w->objectName()));
    return parts.join(QLatin1Char('/'));
}

bool IsQtsOwn(const QWidget* Window)
{
    return dynamic_cast<const TLocalizerForm*>(Window) == nullptr
           && QByteArray(Window->metaObject()->className()).startsWith('Q')
           && Window->objectName() != QLatin1String("PrinterSetupDialog1");
}

// A language of the language menu, with the code of Qt's catalogue.
struct TLanguage {
    QAction* Entry;
    const char* Qt;
};

std::vector<TLanguage> Languages(TMaster& M)
{
    return {{M.mnuSpracheDeutsch, "de"},      {M.mnuSpracheEnglisch, "en"}, {M.mnuSpracheFranzoesisch, "fr"},
            {M.mnuSpracheItalienisch, "it"}, {M.mnuSpracheSpanisch, "es"}, {M.mnuSpracheHollaendisch, "nl"}};
}

class TWindowCheck : public QObject {
public:
    int Language = 0;
    QString Code;
    TAllowedTexts Own;  // the language file's texts and the names
    TAllowedTexts Qts;  // Qt's catalogue of the language
    QStringList Faults;
    QSet<QString> Windows;
    int Views = 0, Texts = 0;
    QSet<QString> Run;  // commands already run
    QSet<QString> OkTexts;  // the texts of the program's own OK buttons
    int Depth = 0;
    bool PrintJob = false;  // the print dialog starts its job instead of closing

    // ---- texts ---------------------------------------------------------------------------------

    // Switches the program to the language and takes the texts it allows.
    void Choose(const TLanguage& L)
    {
        L.Entry->trigger();
        Language = Localizer().LanguageIndex();
        ASSERT_EQ(Language, L.Entry->data().toInt());
        Code = TLocalizer::LanguageCode(Language);
        LoadTexts(QLatin1String(L.Qt));
    }

    // The texts the current language allows: its language file's, the
    // language's names of months and days, the names, Qt's catalogue.
    void LoadTexts(const QString& QtCode)
    {
        QStringList sections, keys;
        Localizer().LanguageIni().ReadSections(sections);
        for (const QString& s : sections) {
            Localizer().LanguageIni().ReadSection(s, keys);
            for (const QString& k : keys)
                Own.Add(Localizer().LanguageIni().ReadString(s, k, QString()));
        }
        // Dates in the language: its names of months and days.
        const QLocale locale(QtCode);
        for (int i = 1; i <= 12; ++i)
            for (auto format : {QLocale::LongFormat, QLocale::ShortFormat}) {
                Own.Add(locale.monthName(i, format));
                Own.Add(locale.standaloneMonthName(i, format));
                if (i <= 7)
                    Own.Add(locale.dayName(i, format));
            }
        for (const char* name : cNames)
            Own.Add(QString::fromUtf8(name));
        for (const QString& printer : QPrinterInfo::availablePrinterNames())
            Own.Add(printer);
        for (const QString& family : QFontDatabase::families())
            Own.Add(family);
        for (const QString& t : CatalogueTexts(QLibraryInfo::path(QLibraryInfo::TranslationsPath)
                                               + QStringLiteral("/qtbase_") + QtCode + QStringLiteral(".qm")))
            Qts.Add(t);
    }

    void Fault(const QWidget* W, const QString& Text, const char* Why)
    {
        const QString fault = QStringLiteral("%1: %2 \"%3\": %4").arg(Code, PathOf(W), Text, QString::fromLatin1(Why));
        if (!Faults.contains(fault))
            Faults << fault;
    }
    void CheckText(const QWidget* W, const QString& Raw, bool QtWindow)
    {
        QString text = Raw;
        if (Qt::mightBeRichText(text))
            text = QTextDocumentFragment::fromHtml(text).toPlainText();
        for (const QString& line : text.split(QRegularExpression(QStringLiteral("[\r\n]+")))) {
            const QString s = Shown(line);
            if (s.isEmpty())
                continue;
            ++Texts;
            if (!HasLetter(s) || Own.Has(s) || (QtWindow && (Language == 1 || Qts.Has(s))))
                continue;
            Fault(W, s, "not a text of the language");
        }
    }

    // ---- fit and overlap -----------------------------------------------------------------------

    // Where the text of a label lies inside its parent.
    static QRect TextRect(const QLabel* L)
    {
        const QRect g = L->geometry();
        const int w = std::min(L->sizeHint().width(), L->wordWrap() ? g.width() : L->sizeHint().width());
        const int h = std::min(g.height(), L->wordWrap() ? L->heightForWidth(g.width()) : L->sizeHint().height());
        const Qt::Alignment a = L->alignment();
        int x = g.x(), y = g.y();
        if (a & Qt::AlignRight)
            x = g.right() + 1 - w;
        else if (a & Qt::AlignHCenter)
            x = g.x() + (g.width() - w) / 2;
        if (a & Qt::AlignBottom)
            y = g.bottom() + 1 - h;
        else if (a & Qt::AlignVCenter)
            y = g.y() + (g.height() - h) / 2;
        return QRect(x, y, w, h);
    }
    static bool IsField(const QWidget* W)
    {
        return qobject_cast<const QAbstractButton*>(W) || qobject_cast<const QLineEdit*>(W)
               || qobject_cast<const QComboBox*>(W) || qobject_cast<const QAbstractSpinBox*>(W)
               || qobject_cast<const QGroupBox*>(W) || qobject_cast<const QAbstractItemView*>(W);
    }
    static bool IsTextLabel(const QLabel* L)
    {
        return L && !L->text().isEmpty() && L->pixmap().isNull() && L->movie() == nullptr;
    }
    static QString TextOf(const QWidget* W)
    {
        if (const auto* l = qobject_cast<const QLabel*>(W))
            return IsTextLabel(l) ? l->text() : QString();
        if (const auto* b = qobject_cast<const QAbstractButton*>(W)) {
            const auto* tb = qobject_cast<const QToolButton*>(W);
            return tb && tb->toolButtonStyle() == Qt::ToolButtonIconOnly ? QString() : b->text();
        }
        if (const auto* g = qobject_cast<const QGroupBox*>(W))
            return g->title();
        return QString();
    }
    // The place of a widget's text (labels) or of the widget, in its parent.
    static QRect Place(const QWidget* W)
    {
        if (const auto* l = qobject_cast<const QLabel*>(W))
            return TextRect(l);
        return W->geometry();
    }

    void CheckFit(QWidget* W)
    {
        const QFontMetrics fm = W->fontMetrics();
        if (auto* l = qobject_cast<QLabel*>(W); IsTextLabel(l)) {
            const QRect r = l->contentsRect();
            if (l->wordWrap() ? l->heightForWidth(l->width()) > l->height() : l->sizeHint().width() > l->width())
                Fault(W, l->text(), "cut");
            else if (!l->wordWrap() && fm.height() > r.height())
                Fault(W, l->text(), "cut (height)");
        } else if (auto* b = qobject_cast<QPushButton*>(W); b && !b->text().isEmpty()) {
            const int icon = b->icon().isNull() ? 0 : b->iconSize().width() + 4;
            if (fm.horizontalAdvance(Shown(b->text())) + icon + 6 > b->width())
                Fault(W, b->text(), "cut");
        } else if (qobject_cast<QCheckBox*>(W) || qobject_cast<QRadioButton*>(W)) {
            const auto* c = static_cast<QAbstractButton*>(W);
            if (!c->text().isEmpty() && c->sizeHint().width() > c->width())
                Fault(W, c->text(), "cut");
        } else if (auto* g = qobject_cast<QGroupBox*>(W); g && !g->title().isEmpty()) {
            if (fm.horizontalAdvance(Shown(g->title())) + 12 > g->width())
                Fault(W, g->title(), "cut");
        } else if (auto* h = qobject_cast<QHeaderView*>(W); h && h->orientation() == Qt::Horizontal && h->model()) {
            const int margin = 2 * h->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, h);
            for (int i = 0; i < h->count(); ++i) {
                if (h->isSectionHidden(i) || h->sectionSize(i) == 0)
                    continue;
                const QString t = h->model()->headerData(i, Qt::Horizontal).toString();
                if (!t.isEmpty() && h->fontMetrics().horizontalAdvance(t) + margin > h->sectionSize(i))
                    Fault(W, t, "cut (column)");
            }
        }
        // A text to read that the user must scroll to see whole.
        if (auto* e = qobject_cast<QPlainTextEdit*>(W); e && e->isReadOnly() && !e->toPlainText().isEmpty()
                                                          && e->verticalScrollBar()->maximum() > 0)
            Fault(W, e->toPlainText().left(40), "hidden until scrolled");
        // Hidden until the user scrolls, or drawn past the edge of what holds it.
        if (!TextOf(W).isEmpty() && !W->isWindow()) {
            QRect r = Place(W).translated(-W->pos());  // in W's own coordinates
            for (const QWidget* a = W; a && !a->isWindow(); a = a->parentWidget()) {
                r.translate(a->pos());
                const QWidget* p = a->parentWidget();
                if (!p)
                    break;
                if (!p->rect().contains(r)) {
                    Fault(W, TextOf(W), "not wholly visible");
                    break;
                }
            }
        }
    }

    void CheckOverlaps(QWidget* Parent)
    {
        std::vector<QWidget*> items;
        for (QObject* o : Parent->children()) {
            auto* w = qobject_cast<QWidget*>(o);
            if (!w || w->isWindow() || !w->isVisible() || w->objectName().startsWith(QLatin1String("qt_")))
                continue;
            auto* l = qobject_cast<QLabel*>(w);
            if (IsTextLabel(l) || (!l && IsField(w)))
                items.push_back(w);
        }
        for (size_t i = 0; i < items.size(); ++i)
            for (size_t j = i + 1; j < items.size(); ++j)
                if ((!TextOf(items[i]).isEmpty() || !TextOf(items[j]).isEmpty())
                    && Place(items[i]).intersects(Place(items[j])))
                    Fault(items[i], TextOf(items[i]) + QStringLiteral(" / ") + PathOf(items[j]), "overlaps");
    }

    // ---- one window ----------------------------------------------------------------------------

    void CheckWindow(QWidget* Window)
    {
        QApplication::processEvents();
        ++Views;
        Windows.insert(QString::fromLatin1(Window->metaObject()->className()) + QLatin1Char('#')
                       + Window->objectName());
        const bool qt = IsQtsOwn(Window);
        // LUMI_WINDOW_SHOTS=folder keeps a picture of each window as checked.
        if (const QString shots = qEnvironmentVariable("LUMI_WINDOW_SHOTS"); !shots.isEmpty())
            Window->grab().save(QStringLiteral("%1/%2-%3-%4.png")
                                    .arg(shots, Code, QString::fromLatin1(Window->metaObject()->className()))
                                    .arg(Views));
        CheckText(Window, Window->windowTitle(), qt);
        const QList<QWidget*> all = Window->findChildren<QWidget*>();
        for (QWidget* w : all) {
            if (!w->isVisible() || w->window() != Window)
                continue;
            if (auto* b = qobject_cast<QPushButton*>(w); b && !qt && b->objectName() == QLatin1String("BtnOK"))
                OkTexts.insert(Shown(b->text()));
            if (auto* l = qobject_cast<QLabel*>(w); IsTextLabel(l))
                CheckText(w, l->text(), qt);
            else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
                const auto* tb = qobject_cast<QToolButton*>(w);
                if (!tb || tb->toolButtonStyle() != Qt::ToolButtonIconOnly)
                    CheckText(w, b->text(), qt);
            } else if (auto* g = qobject_cast<QGroupBox*>(w))
                CheckText(w, g->title(), qt);
            else if (auto* t = qobject_cast<QTabBar*>(w)) {
                for (int i = 0; i < t->count(); ++i)
                    if (t->isTabVisible(i))
                        CheckText(w, t->tabText(i), qt);
            } else if (auto* c = qobject_cast<QComboBox*>(w); c && !c->isEditable())
                CheckText(w, c->currentText(), qt);
            else if (auto* h = qobject_cast<QHeaderView*>(w); h && h->orientation() == Qt::Horizontal && h->model()) {
                for (int i = 0; i < h->count(); ++i)
                    if (!h->isSectionHidden(i))
                        CheckText(w, h->model()->headerData(i, Qt::Horizontal).toString(), qt);
            }
            // A list's captions: names may be shortened to their cell, texts
            // of the language may not.
            if (auto* list = qobject_cast<QListWidget*>(w); list && !qt) {
                for (int i = 0; i < list->count(); ++i) {
                    const QString t = Shown(list->item(i)->text());
                    ++Texts;
                    if (!t.endsWith(QLatin1String("...")) || Own.Whole(t))
                        continue;
                    const QString start = t.chopped(3);
                    for (const QString& text : Own.Texts)
                        if (text.size() > start.size() && text.startsWith(start)) {
                            Fault(w, t, "cut (list item)");
                            break;
                        }
                }
            }
            // The desktop root of a folder tree is named in the language.
            if (auto* tree = qobject_cast<QTreeWidget*>(w); tree && !qt)
                for (int i = 0; i < tree->topLevelItemCount(); ++i)
                    CheckText(w, tree->topLevelItem(i)->text(0), false);
            // Qt's lists of files: every column but the names.
            if (auto* v = qobject_cast<QAbstractItemView*>(w); v && qt && v->model()) {
                const QModelIndex root = v->rootIndex();
                for (int r = 0; r < std::min(v->model()->rowCount(root), 20); ++r)
                    for (int c = 1; c < v->model()->columnCount(root); ++c)
                        if (auto* tv = qobject_cast<QTreeView*>(v); tv && !tv->isColumnHidden(c)) {
                            CheckText(w, v->model()->index(r, c, root).data().toString(), qt);
                        }
            }
            CheckFit(w);
            CheckOverlaps(w);
        }
        CheckOverlaps(Window);
    }

    void CheckMenu(QWidget* Owner, const QList<QAction*>& Actions, bool Qt)
    {
        for (QAction* a : Actions) {
            if (!a->isVisible() || a->isSeparator())
                continue;
            CheckText(Owner, a->text(), Qt);
            if (a->menu())
                CheckMenu(Owner, a->menu()->actions(), Qt);
        }
    }

    // ---- reaching windows -----------------------------------------------------------------------

    static bool OpensAWindow(const QString& Text)
    {
        const QString s = Text.trimmed();
        return s.endsWith(QLatin1String("...")) || s.endsWith(QChar(0x2026));
    }
    bool FirstRun(const QWidget* Window, const QString& Command)
    {
        const QString key = QString::fromLatin1(Window->metaObject()->className()) + QLatin1Char('/') + Command;
        if (Run.contains(key))
            return false;
        Run.insert(key);
        return true;
    }
    // Runs the commands of a window that open further windows.
    void RunCommands(QWidget* Window)
    {
        if (Depth > 3)
            return;
        for (QAbstractButton* b : Window->findChildren<QAbstractButton*>()) {
            if (!b->isVisible() || !b->isEnabled() || b->window() != Window)
                continue;
            // The printer's properties open Qt's page set-up, though the text has no mark.
            if ((OpensAWindow(b->text()) || b->objectName() == QLatin1String("BtnEigenschaften"))
                && FirstRun(Window, PathOf(b) + b->text()))
                b->click();
        }
        OpenColourDialog(Window);
    }
    // Chooses "more colours" in the drop-down of a colour button, as a user
    // would, once per window.
    void OpenColourDialog(QWidget* Window)
    {
        for (TQwColorPopupButton* b : Window->findChildren<TQwColorPopupButton*>()) {
            if (!b->isVisible() || !b->isEnabled() || b->window() != Window)
                continue;
            if (!(b->ColorPopupOptions() & cpMoreColor) || !b->OnMenuButtonClick
                || !FirstRun(Window, QStringLiteral("more colours")))
                continue;
            b->DropDown();
            TQwColorPopupForm* popup = b->PopupForm();
            const QPointF p = popup->MoreColorRect().center();
            QMouseEvent press(QEvent::MouseButtonPress, p, popup->mapToGlobal(p), Qt::LeftButton, Qt::LeftButton,
                              Qt::NoModifier);
            QApplication::sendEvent(popup, &press);
            QMouseEvent release(QEvent::MouseButtonRelease, p, popup->mapToGlobal(p), Qt::LeftButton, Qt::NoButton,
                                Qt::NoModifier);
            QApplication::sendEvent(popup, &release);
            return;
        }
    }
    // Presses every button of a side panel: a panel's buttons change the
    // element or open a window, but close nothing.
    void PressPanelButtons(QWidget* Panel)
    {
        for (QPushButton* b : Panel->findChildren<QPushButton*>())
            if (b->isVisible() && b->isEnabled() && FirstRun(Panel, PathOf(b)))
                b->click();
    }
    void RunActions(QWidget* Window, const QList<QAction*>& Actions)
    {
        for (QAction* a : Actions) {
            if (a->menu())
                RunActions(Window, a->menu()->actions());
            else if (a->isVisible() && a->isEnabled() && OpensAWindow(a->text())
                     && FirstRun(Window, a->objectName() + a->text()))
                a->trigger();
        }
    }

    void Close(QWidget* W)
    {
        if (!W->isVisible())
            return;
        if (auto* box = qobject_cast<QMessageBox*>(W)) {
            // No, or Cancel: the answer changes nothing (a project left unsaved
            // lets the wizard open).
            for (auto role : {QMessageBox::NoRole, QMessageBox::RejectRole})
                for (QAbstractButton* b : box->buttons())
                    if (box->buttonRole(b) == role) {
                        b->click();
                        return;
                    }
            box->done(QMessageBox::Cancel);
        } else if (auto* d = qobject_cast<QDialog*>(W)) {
            d->reject();
            if (d->isVisible())
                d->done(QDialog::Rejected);
        } else
            W->close();
    }

    // A modal window has shown: check it, open what it opens, close it.
    void Visit(QWidget* W)
    {
        if (!W->isVisible())
            return;
        ++Depth;
        if (auto* files = qobject_cast<TSsFileDialog*>(W)) {
            // The names of the entries and folders are no texts of the language.
            for (int r = 0; r < files->FileList()->RowCount(); ++r)
                Own.Add(files->FileList()->RowItem(r)->DisplayName);
            for (int i = 1; i < files->FolderBox()->count(); ++i)
                Own.Add(files->FolderBox()->itemText(i));
        }
        if (auto* wizard = dynamic_cast<TDateiNeuDlg*>(W)) {
            // Every step of the wizard, and every product it offers.
            const std::function<void(TWizzardStep*)> walk = [&](TWizzardStep* Step) {
                if (Step->ChildCount() > 0) {
                    wizard->ShowStep(Step);
                    CheckWindow(W);
                    for (int i = 0; i < Step->ChildCount(); ++i)
                        walk(Step->Child(i));
                    wizard->ShowStep(Step);
                } else {
                    wizard->ShowChoice(Step);
                    if (TDateiNeuDlg::IsKalender(Step->ProductCode))
                        CheckWindow(W);
                }
            };
            walk(wizard->Root());
            wizard->ShowStep(wizard->Root());
        }
        CheckWindow(W);
        RunCommands(W);
        if (auto* print = dynamic_cast<TQwDruckDlg*>(W); print && PrintJob)
            print->BtnOK->click();
        else
            Close(W);
        --Depth;
    }

    bool eventFilter(QObject* O, QEvent* E) override
    {
        if (E->type() == QEvent::Show && O->isWidgetType()) {
            auto* w = static_cast<QWidget*>(O);
            if (w->isWindow() && w->isModal()) {
                QPointer<QWidget> p(w);
                QTimer::singleShot(0, w, [this, p] {
                    if (p)
                        Visit(p);
                });
            }
        }
        return false;
    }
};

TFBPage* FirstPage(TMaster& M) { return M.Document()->Pages.GetPage(0); }

}  // namespace

TEST(WindowTexts, EveryWindowInEveryLanguageShowsWholeTextsOfTheLanguage)
{
    TQwRegIniFile::Instance().WriteInteger("", "Sprache", 0);
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    ASSERT_TRUE(QDir().mkpath(documents + QStringLiteral("/Urlaub")));
    std::unique_ptr<TMaster> m(TLocalizerForm::create<TMaster>(nullptr));
    m->resize(1100, 780);  // the size of the first start
    // The Italian file is present though not offered: open the mask to reach it.
    const uint16_t offered = Localizer().SupportedLanguages();
    Localizer().SetSupportedLanguages(TLocalizer::DefaultSupportedLanguages);
    m->show();
    QApplication::processEvents();

    // One element of each kind on the first page.
    TFBPage* page = FirstPage(*m);
    auto* frame = pvtest::AddFrame(page, 60, 60, 60, 45);
    pvtest::GivePicture(frame);
    auto* text = pvtest::AddText(page, 150, 60, 60, 30);
    auto* calendar = pvtest::AddCalendar(page, 100, 200, 120, 60);
    TFBMainView& view = *m->MainView();
    view.OnContextMenu = [](TFBPage*, TFBElement*, const QPoint&) {};
    view.Invalidate();

    for (const TLanguage& language : Languages(*m)) {
        TWindowCheck check;
        qApp->installEventFilter(&check);
        check.Choose(language);
        // Qt's widgets write dates and numbers in the language too.
        EXPECT_EQ(QLocale().name().left(2), QLatin1String(language.Qt));

        // The main window with each side panel, as the focused element chooses it.
        for (TFBElement* e : std::initializer_list<TFBElement*>{nullptr, frame, text, calendar}) {
            view.SetFocusedElement(e);
            QApplication::processEvents();
            for (QTabWidget* tabs : m->findChildren<QTabWidget*>()) {
                if (!tabs->isVisible())
                    continue;
                const int kept = tabs->currentIndex();
                for (int i = 0; i < tabs->count(); ++i)
                    if (tabs->isTabVisible(i)) {
                        tabs->setCurrentIndex(i);
                        check.CheckWindow(m.get());
                        check.RunCommands(m.get());
                        if (tabs == m->pagecontrolBottom)
                            check.PressPanelButtons(tabs->currentWidget());
                    }
                tabs->setCurrentIndex(kept);
            }
            check.CheckWindow(m.get());
            check.RunCommands(m.get());
        }
        check.CheckMenu(m.get(), m->MainMenu->actions(), false);
        check.RunActions(m.get(), m->MainMenu->actions());
        {
            // A folded product printed borderless offers to adjust the print position.
            TFBDocument& d = *m->Document();
            const auto kept = std::make_pair(d.DocType, d.PrintBorderless);
            d.DocType = 1;
            d.PrintBorderless = true;
            m->mnuDrucken->trigger();
            std::tie(d.DocType, d.PrintBorderless) = kept;
        }
        {
            // A print job into a file shows its progress window.
            TPrinter& printer = Printer();
            const int keptPrinter = printer.PrinterIndex();
            printer.SetPrinterIndex(int(printer.Printers().indexOf(QString::fromLatin1(PdfPrinterName))));
            PrintProgressHook = [&check](const QString&) {
                if (TDlgDruckAbbrechen* w = PrintProgressWindow(); w && check.FirstRun(w, QStringLiteral("progress")))
                    check.CheckWindow(w);
            };
            check.PrintJob = true;
            m->mnuDrucken->trigger();  // without a file: the save dialog asks for one, and is closed
            EXPECT_FALSE(QFile::exists(documents + QStringLiteral("/job.pdf")));
            printer.OutputFileName = documents + QStringLiteral("/job.pdf");
            m->mnuDrucken->trigger();
            check.PrintJob = false;
            PrintProgressHook = nullptr;
            printer.OutputFileName.clear();
            printer.SetPrinterIndex(keptPrinter);
            EXPECT_TRUE(QFile::exists(documents + QStringLiteral("/job.pdf")));
            QFile::remove(documents + QStringLiteral("/job.pdf"));
        }

        // The page's context menu on each kind of element and on the page.
        const QPoint points[] = {pvtest::PagePixel(view, *m->Document(), page, 60, 60),
                                 pvtest::PagePixel(view, *m->Document(), page, 150, 60),
                                 pvtest::PagePixel(view, *m->Document(), page, 100, 200),
                                 pvtest::PagePixel(view, *m->Document(), page, 100, 120)};
        for (const QPoint& p : points) {
            pvtest::Press(view, p, Qt::RightButton);
            pvtest::Release(view, p, Qt::RightButton);
            check.CheckMenu(&view, view.ContextMenu()->actions(), false);
            check.RunActions(&view, view.ContextMenu()->actions());
        }
        qApp->removeEventFilter(&check);

        const QString note = QStringLiteral("%1: %2 windows, %3 views, %4 texts checked (main window %5 x %6)")
                                 .arg(check.Code)
                                 .arg(check.Windows.size())
                                 .arg(check.Views)
                                 .arg(check.Texts)
                                 .arg(m->width())
                                 .arg(m->height());

        QStringList windows(check.Windows.begin(), check.Windows.end());
        windows.sort();
        std::printf("%s\n  %s\n", qPrintable(note), qPrintable(windows.join(QStringLiteral(", "))));
        ::testing::Test::RecordProperty(check.Code.toStdString(), note.toStdString());
        EXPECT_GE(check.Windows.size(), 10) << qPrintable(note);
        // Every dialog's OK reads the same.
        EXPECT_EQ(check.OkTexts.size(), 1) << qPrintable(QStringList(check.OkTexts.begin(), check.OkTexts.end()).join(QLatin1String(" / ")));
        EXPECT_TRUE(check.Windows.contains(QStringLiteral("TSsFileDialog#"))) << qPrintable(note);
        EXPECT_TRUE(check.Faults.isEmpty()) << check.Faults.size() << " faults\n"
                                            << qPrintable(check.Faults.join(QLatin1Char('\n')));
    }
    m->mnuSpracheDeutsch->trigger();
    Localizer().SetSupportedLanguages(offered);
    m.reset();
}

namespace {

void Leaves(TWizzardStep* Step, std::vector<TWizzardStep*>& Result)
{
    if (Step->ChildCount() == 0)
        Result.push_back(Step);
    for (int i = 0; i < Step->ChildCount(); ++i)
        Leaves(Step->Child(i), Result);
}

}  // namespace

// What the walk cannot read from a widget's text, in every language: the
// texts drawn into the wizard's calendar pictures, the names the wizard
// builds from the catalogue, the heading above the page that names the
// product built, the page templates' names and the file type's description
// that the desktop and the file dialogs show.
TEST(WindowTexts, DrawnTextsAndNamesBuiltFromDataAreTheLanguages)
{
    TQwRegIniFile::Instance().WriteInteger("", "Sprache", 0);
    std::unique_ptr<TMaster> m(TLocalizerForm::create<TMaster>(nullptr));
    m->resize(1100, 780);
    const uint16_t offered = Localizer().SupportedLanguages();
    Localizer().SetSupportedLanguages(TLocalizer::DefaultSupportedLanguages);
    m->show();
    QApplication::processEvents();

    // The desktop's type database knows the project file type once the main window registered it.
    const QMimeDatabase types;
    const QString projectFile = QStringLiteral("Album.zpb");
    QElapsedTimer t;
    t.start();
    while (types.mimeTypeForFile(projectFile, QMimeDatabase::MatchExtension).name()
               != QLatin1String("application/x-zpb")
           && t.elapsed() < 30000)
        QApplication::processEvents(QEventLoop::AllEvents, 100);

    for (const TLanguage& language : Languages(*m)) {
        TWindowCheck check;
        check.Choose(language);
        const QString february = LocalizedDefaultString(QStringLiteral("Februar"));
        QString built;
        int products = 0;
        for (int n = 0; n == 0 || n < products; ++n) {
            ShowModalHook = [&](QDialog& D) {
                auto* wizard = dynamic_cast<TDateiNeuDlg*>(&D);
                if (!wizard)
                    return int(QDialog::Rejected);
                std::vector<TWizzardStep*> leaves, steps;
                Leaves(wizard->Root(), leaves);
                products = int(leaves.size());
                if (n == 0) {
                    std::function<void(TWizzardStep*)> all = [&](TWizzardStep* S) {
                        check.CheckText(wizard, S->Name, false);
                        check.CheckText(wizard, S->Caption, false);
                        for (int i = 0; i < S->ChildCount(); ++i)
                            all(S->Child(i));
                    };
                    all(wizard->Root());
                }
                TWizzardStep* leaf = leaves[size_t(n)];
                QStringList drawn;
                DrawTextHook = [&drawn](const AnsiString& Text) { drawn << fromAnsi(Text); };
                wizard->ShowChoice(leaf);
                DrawTextHook = nullptr;
                if (TDateiNeuDlg::IsKalender(leaf->ProductCode)) {
                    // The picture shows February of the calendar's year, with its days.
                    const QString month = february + QLatin1Char(' ') + leaf->Value;
                    if (!drawn.contains(month) && !(drawn.contains(february) && drawn.contains(leaf->Value)))
                        check.Fault(wizard, leaf->Name + QStringLiteral(": ") + drawn.join(QLatin1Char('|')),
                                    "picture without the month in the language");
                    for (const QString& text : drawn)
                        check.CheckText(wizard, text, false);
                }
                built = leaf->Name;
                wizard->BtnWeiterClick();
                return wizard->result();
            };
            m->Document()->Modified = false;
            m->BtnAlbumNeuClick();
            ShowModalHook = nullptr;

            // The heading names the product as the wizard did.
            const QString heading = m->panTitel->text();
            check.CheckText(m->panTitel, heading, false);
            for (const QString& separator : {QStringLiteral(" - "), QStringLiteral(" \u2013 ")})
                if (heading.contains(separator) && heading.section(separator, -1) != built)
                    check.Fault(m->panTitel, heading + QStringLiteral(" / ") + built, "not the product chosen");
            // The templates offered for it, each named whole in the language.
            TPageTemplateListview& templates = *m->PageTemplateList;
            for (int i = 0; i < templates.count(); ++i) {
                const QString name = fromAnsi(templates.TemplateOf(templates.item(i))->Name);
                check.CheckText(&templates, name, false);
                if (templates.item(i)->text() != name)
                    check.Fault(&templates, templates.item(i)->text(), "template name cut");
            }
        }
        EXPECT_GT(products, 20);

        // The project file type, as the desktop and the file dialogs name it.
        const QMimeType type = types.mimeTypeForFile(projectFile, QMimeDatabase::MatchExtension);
        const QString description = type.comment();
        if (description == type.name())
            check.Fault(m.get(), description, "no description of the file type");
        check.CheckText(m.get(), description, false);

        std::printf("%s: %d products, %d texts checked\n", qPrintable(check.Code), products, check.Texts);
        EXPECT_TRUE(check.Faults.isEmpty()) << check.Faults.size() << " faults\n"
                                            << qPrintable(check.Faults.join(QLatin1Char('\n')));
    }
    m->mnuSpracheDeutsch->trigger();
    Localizer().SetSupportedLanguages(offered);
    m.reset();
    GetUndoManager().Clear();
}
