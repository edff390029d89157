// What the RTF writer writes opens in LibreOffice Writer: a written text is
// converted with LibreOffice and the result shows its text and formats.
#include "RtfTestSupport.h"
#include "../common/LibreOffice.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest-spi.h>
#include <QTemporaryDir>

#include <cmath>
#include <map>

namespace {

// What LibreOffice makes of Rtf in the given format ("html", "fodt"); empty
// when the conversion fails.
std::string Convert(const std::string& Rtf, const QString& Format)
{
    QTemporaryDir dir;
    QFile in(dir.filePath("doc.rtf"));
    if (!dir.isValid() || !in.open(QIODevice::WriteOnly))
        return {};
    in.write(Rtf.data(), qint64(Rtf.size()));
    in.close();
    if (!RunLibreOffice(dir.path(), {"--convert-to", Format, "--outdir", dir.path(), in.fileName()}))
        return {};
    QFile out(dir.filePath("doc." + Format));
    if (!out.open(QIODevice::ReadOnly))
        return {};
    return out.readAll().toStdString();
}

// The opening tag of the HTML paragraph or cell that holds Word.
std::string TagBefore(const std::string& Html, const std::string& Word)
{
    const size_t at = Html.find(Word);
    if (at == std::string::npos)
        return "missing " + Word;
    const size_t p = Html.rfind("<p ", at);
    return p == std::string::npos ? std::string() : Html.substr(p, Html.find('>', p) - p);
}

} // namespace

TEST(RtfLibreOffice, ReadsTablesTabsBordersNumberingAndKeepWithNext)
{
    if (SofficeProgram().isEmpty())
        GTEST_SKIP() << "LibreOffice is not installed";
    TRtRTFText text;
    ReadRtf(text, "{\\rtf1{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}"
                  "{\\*\\listtable{\\list{\\listlevel\\levelnfc0{\\leveltext\\'02\\'00.;}{\\levelnumbers\\'01;}}\\listid8}}"
                  "{\\*\\listoverridetable{\\listoverride\\listid8\\ls1}}"
                  "\\pard\\qc\\keepn{\\b Bold} {\\i Italic} {\\ul Under} {\\cf1 Red} {\\fs40 Large}\\par"
                  "\\pard\\qr\\keepn\\tx2000 right\\tab Tabbed\\par"
                  "\\pard\\tx2000 left\\tab tabbed\\par"
                  "\\pard\\box\\brdrs\\brdrw30\\brdrcf2 Boxed\\par"
                  "\\pard\\box\\brdrs\\brdrw30\\brdrcf2 Framed\\par"
                  "\\pard\\ls1 First\\par\\pard\\ls1 Second\\par"
                  "\\pard\\trowd\\cellx2000\\cellx4000\\intbl CellA1\\cell CellB1\\cell\\row"
                  "\\trowd\\cellx2000\\cellx4000\\intbl CellA2\\cell CellB2\\cell\\row"
                  "\\pard After}");
    const std::string rtf = WriteRtf(text);
    const std::string html = Convert(rtf, "html");
    ASSERT_FALSE(html.empty()) << rtf;

    EXPECT_NE(html.find("<b>Bold</b>"), std::string::npos) << html;
    EXPECT_NE(html.find("<i>Italic</i>"), std::string::npos) << html;
    EXPECT_NE(html.find("<u>Under</u>"), std::string::npos) << html;
    EXPECT_NE(html.find("#ff0000\"><font face=\"Arial, serif\">Red"), std::string::npos) << html;
    EXPECT_NE(html.find("font-size: 20pt\">Large"), std::string::npos) << html;
    // Alignment and keep-with-next where they were set, and only there.
    EXPECT_NE(TagBefore(html, "Bold").find("align=\"center\""), std::string::npos) << html;
    EXPECT_NE(TagBefore(html, "Bold").find("page-break-after: avoid"), std::string::npos) << html;
    EXPECT_NE(TagBefore(html, "Tabbed").find("align=\"right\""), std::string::npos) << html;
    EXPECT_NE(TagBefore(html, "Tabbed").find("page-break-after: avoid"), std::string::npos) << html;
    EXPECT_EQ(TagBefore(html, "tabbed").find("page-break-after"), std::string::npos) << html;
    EXPECT_NE(TagBefore(html, "tabbed").find("align=\"left\""), std::string::npos) << html;
    // Borders on both boxed paragraphs and on none after them.
    for (const char* word : {"Boxed", "Framed"})
        EXPECT_NE(TagBefore(html, word).find("border: 1.50pt solid #0000ff"), std::string::npos) << word << html;
    for (const char* word : {"First", "After", "tabbed"})
        EXPECT_EQ(TagBefore(html, word).find("border"), std::string::npos) << word << html;
    // The list and the table.
    const size_t list = html.find("<ol>");
    ASSERT_NE(list, std::string::npos) << html;
    EXPECT_LT(list, html.find("First"));
    EXPECT_LT(html.find("Second"), html.find("</ol>"));
    const size_t table = html.find("<table");
    ASSERT_NE(table, std::string::npos) << html;
    size_t rows = 0;
    for (size_t at = html.find("<tr", table); at != std::string::npos; at = html.find("<tr", at + 1))
        ++rows;
    EXPECT_EQ(rows, 2u) << html;
    for (const char* cell : {"CellA1", "CellB1", "CellA2", "CellB2"})
        EXPECT_LT(html.find(cell), html.find("</table>")) << cell;
    EXPECT_GT(html.find("After"), html.find("</table>"));

    // Tab stops do not show in HTML: the flat document holds them.
    const std::string fodt = Convert(rtf, "fodt");
    ASSERT_FALSE(fodt.empty()) << rtf;
    size_t tabs = 0;
    for (size_t at = fodt.find("<style:tab-stop style:position=\"1.4in\""); at != std::string::npos;
         at = fodt.find("<style:tab-stop style:position=\"1.4in\"", at + 1))
        ++tabs;
    EXPECT_EQ(tabs, 2u) << fodt;
}

TEST(RtfLibreOffice, ShowsMetafileAndBitmapPictures)
{
    if (SofficeProgram().isEmpty())
        GTEST_SKIP() << "LibreOffice is not installed";
    TPictureClasses classes{".PNG", ".WMF", ".EMF", ".BMP"};
    QImage blue(8, 6, QImage::Format_RGB32);
    blue.fill(Qt::blue);
    const std::string png = ImageBytes(blue).toHex().toStdString();
    TRtRTFText text;
    ReadRtf(text, "{\\rtf1 a{\\pict\\pngblip " + png + "}b{\\pict\\pngblip " + png + "}c{\\pict\\pngblip " + png
                      + "}d}");
    // The pictures become a Windows metafile with its placeable header, an enhanced metafile and a bitmap.
    auto metafile = [](const char* Name) {
        QFile f(QStringLiteral(LUMI_TEST_DATA "/metafile/") + QLatin1String(Name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const std::pair<const char*, QByteArray> pictures[] = {
        {"WMF", metafile("shapes.wmf")}, {"EMF", metafile("shapes.emf")}, {"BMP", ImageBytes(blue, "BMP")}};
    int32_t pos = 1;
    for (const auto& [type, bytes] : pictures) {
        const TTextObj* ref = text.ObjRefList()->GetTextObj(int32_t(AttrAt(text.FirstPar, pos).Tag));
        auto* image = ref ? dynamic_cast<TRtOImageObject*>(ref->Object) : nullptr;
        ASSERT_NE(image, nullptr);
        image->SetPicture(bytes, type);
        ASSERT_FALSE(image->Metafile().Empty() && !image->GetPicture()) << type;
        pos += 2;
    }
    const std::string rtf = WriteRtf(text);
    const std::string fodt = Convert(rtf, "fodt");
    ASSERT_FALSE(fodt.empty()) << rtf;
    // Each picture a frame with its image (metafiles with a bitmap beside them).
    auto count = [&](const std::string& Tag) {
        size_t n = 0;
        for (size_t at = fodt.find(Tag); at != std::string::npos; at = fodt.find(Tag, at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(count("<draw:frame"), 3u) << rtf;
    EXPECT_GE(count("<draw:image"), 3u) << rtf;
}

TEST(RtfLibreOffice, ReadsTheOldStyleOutlineProlog)
{
    if (SofficeProgram().isEmpty())
        GTEST_SKIP() << "LibreOffice is not installed";
    TRtRTFText text;
    ReadRtf(text, "{\\rtf1{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}"
                  "\\landscape\\paperw16838\\paperh11906\\margl1000\\margr1000"
                  "\\pard\\tqr\\tx14838 Left{\\*\\bkmkstart mark}Marked{\\*\\bkmkend mark}\\tab Right\\par"
                  "\\pard\\shading5000\\cfpat1\\cbpat2 Shaded\\par"
                  "\\pard{\\*\\pn\\pnlvl1\\pnucrm\\pnindent360{\\pntxta .}}{\\rtnr I.\\tab}Numbered\\par"
                  "\\pard After}");
    text.Header()->StoreOptions.Include(soOldStyleOutlineStyleTable);
    const std::string rtf = WriteRtf(text);
    ASSERT_NE(rtf.find("{\\*\\pnseclvl1"), std::string::npos) << rtf;
    const std::string fodt = Convert(rtf, "fodt");
    ASSERT_FALSE(fodt.empty()) << rtf;
    size_t at = 0;
    for (const char* word : {"Left", "Marked", "Right", "Shaded", "Numbered", "After"}) {
        at = fodt.find(word, at);
        EXPECT_NE(at, std::string::npos) << word << "\n" << fodt;
    }
    EXPECT_NE(fodt.find("<text:bookmark-start text:name=\"mark\"/>"), std::string::npos) << fodt;
    EXPECT_NE(fodt.find("style:print-orientation=\"landscape\""), std::string::npos) << fodt;
    EXPECT_NE(fodt.find("style:type=\"right\""), std::string::npos) << fodt;
}

// The words of each page, sorted, pages joined by " | ".
std::string PageWords(const std::vector<std::vector<std::string>>& Pages)
{
    std::string s;
    for (std::vector<std::string> words : Pages) {
        std::sort(words.begin(), words.end());
        s += s.empty() ? "" : " | ";
        for (const std::string& w : words)
            s += w + " ";
    }
    return s;
}

// The words of each page of LibreOffice's PDF of each of Rtfs, converted in one run
// (pdftotext ends a page with a form feed).
std::vector<std::string> LibreOfficePageWords(const std::vector<std::string>& Rtfs)
{
    QTemporaryDir dir;
    QStringList args{"--convert-to", "pdf", "--outdir", dir.path()};
    for (size_t i = 0; i < Rtfs.size(); ++i) {
        QFile in(dir.filePath(QString("doc%1.rtf").arg(i)));
        if (!in.open(QIODevice::WriteOnly))
            return {};
        in.write(Rtfs[i].data(), qint64(Rtfs[i].size()));
        args << in.fileName();
    }
    if (!RunLibreOffice(dir.path(), args))
        return {};
    std::vector<std::string> result;
    for (size_t i = 0; i < Rtfs.size(); ++i) {
        const QString pdf = dir.filePath(QString("doc%1.pdf").arg(i));
        QProcess p;
        p.start("pdftotext", {pdf, "-"});
        if (!p.waitForFinished(60000) || p.exitCode() != 0) {
            result.push_back("no text from " + std::string(QFile::exists(pdf) ? "the PDF: " : "no PDF: ")
                             + p.readAllStandardError().toStdString());
            continue;
        }
        QStringList texts = QString::fromUtf8(p.readAllStandardOutput()).split('\f');
        texts.removeLast();  // behind the last form feed
        std::vector<std::vector<std::string>> pages;
        for (const QString& page : texts) {
            pages.emplace_back();
            for (const QString& w : page.split(QRegularExpression("\\s+"), Qt::SkipEmptyParts))
                pages.back().push_back(w.toStdString());
        }
        result.push_back(PageWords(pages));
    }
    return result;
}

// Page breaks before a table's first row and before any text start the same pages here as in
// LibreOffice, as read and as written.
TEST(RtfLibreOffice, PageBreaksBeforeRowsAndAtTheStartGiveTheSamePages)
{
    if (SofficeProgram().isEmpty())
        GTEST_SKIP() << "LibreOffice is not installed";
    std::vector<std::string> rtfs, expected;
    for (const char* rtf : {"{\\rtf1 a\\page\\trowd\\cellx1000\\cellx2000\\intbl x\\cell y\\cell\\row\\pard c\\par}",
                            "{\\rtf1 a\\par\\page\\trowd\\cellx1000\\cellx2000\\intbl x\\cell y\\cell\\row\\pard c\\par}",
                            "{\\rtf1 a\\page\\pard\\trowd\\cellx1000\\intbl x\\cell\\row\\pard c\\par}",
                            "{\\rtf1 \\page a\\par}", "{\\rtf1\\pard\\page\\trowd\\cellx1000\\intbl x\\cell\\row\\pard c}",
                            "{\\rtf1 a\\par\\page\\page b}"}) {
        TRtRTFText text;
        ReadRtf(text, rtf);
        std::vector<std::vector<std::string>> pages(1);
        for (const TParagraph* p = text.FirstPar; p; p = p->Next) {
            if (p->Prior && (p->Flags & parfNewPage))
                pages.emplace_back();
            if (const std::string t = ParString(p); !t.empty())
                pages.back().push_back(t);
        }
        // What LibreOffice makes of the text and of what is written of it.
        rtfs.push_back(rtf);
        rtfs.push_back(WriteRtf(text));
        expected.insert(expected.end(), 2, PageWords(pages));
    }
    const std::vector<std::string> pages = LibreOfficePageWords(rtfs);
    ASSERT_EQ(pages.size(), rtfs.size());
    for (size_t i = 0; i < rtfs.size(); ++i)
        EXPECT_EQ(pages[i], expected[i]) << rtfs[i];
}

// A conversion that fails says how LibreOffice ended and what it printed.
TEST(RtfLibreOffice, FailedRunGivesTheExitCodeAndWhatLibreOfficePrinted)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile fake(dir.filePath("soffice"));
    ASSERT_TRUE(fake.open(QIODevice::WriteOnly));
    fake.write("#!/bin/sh\necho 'Error: source file could not be loaded'\necho 'on the error channel' >&2\nexit 81\n");
    fake.close();
    ASSERT_TRUE(fake.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(dir.path()) + ':' + path);
    bool ran = true;
    EXPECT_NONFATAL_FAILURE(ran = RunLibreOffice(dir.path(), {"--convert-to", "fodt", "doc.rtf"}),
                            "LibreOffice exited with code 81; it printed:\n"
                            "Error: source file could not be loaded\non the error channel");
    qputenv("PATH", path);
    EXPECT_FALSE(ran);
}

namespace {

// A length of a flat document in twips.
int64_t FodtTwips(const QString& Length)
{
    static const QRegularExpression number("^(-?[0-9.]+)(in|cm|mm|pt)$");
    const QRegularExpressionMatch m = number.match(Length);
    if (!m.hasMatch())
        return 0;
    const double perUnit = m.captured(2) == "in" ? 1440 : m.captured(2) == "cm" ? 1440 / 2.54
        : m.captured(2) == "mm"                  ? 144 / 2.54
                                                 : 20;
    return std::llround(m.captured(1).toDouble() * perUnit);
}

// The table rows of a flat document as RowEdges gives them: each cell's right edge from the
// table's left margin and the widths of the columns it spans.
std::vector<std::string> FodtRowEdges(const std::string& Fodt)
{
    const QString doc = QString::fromStdString(Fodt);
    std::map<QString, int64_t> widths;  // style name -> table margin or column width
    static const QRegularExpression style(
        "<style:style style:name=\"([^\"]*)\" style:family=\"table(?:-column)?\"[^>]*>(.*?)</style:style>",
        QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression width("(?:fo:margin-left|style:column-width)=\"([^\"]*)\"");
    for (auto it = style.globalMatch(doc); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (const QRegularExpressionMatch w = width.match(m.captured(2)); w.hasMatch())
            widths[m.captured(1)] = FodtTwips(w.captured(1));
    }
    static const QRegularExpression table("<table:table table:name=\"[^\"]*\" table:style-name=\"([^\"]*)\">(.*?)</table:table>",
                                          QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression column("<table:table-column table:style-name=\"([^\"]*)\"(?: table:number-columns-repeated=\"([0-9]+)\")?");
    static const QRegularExpression row("<table:table-row[^>]*>(.*?)</table:table-row>", QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression cell("<table:table-cell([^>]*)>(.*?)</table:table-cell>", QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression span("number-columns-spanned=\"([0-9]+)\"");
    static const QRegularExpression tag("<[^>]*>");
    std::vector<std::string> rows;
    for (auto t = table.globalMatch(doc); t.hasNext();) {
        const QRegularExpressionMatch tm = t.next();
        const int64_t left = widths[tm.captured(1)];
        std::vector<int64_t> columns;
        for (auto c = column.globalMatch(tm.captured(2)); c.hasNext();) {
            const QRegularExpressionMatch cm = c.next();
            columns.insert(columns.end(), cm.captured(2).isEmpty() ? 1 : cm.captured(2).toInt(), widths[cm.captured(1)]);
        }
        for (auto r = row.globalMatch(tm.captured(2)); r.hasNext();) {
            std::string s = Near50(left) + ":";
            int64_t x = left;
            size_t col = 0;
            for (auto c = cell.globalMatch(r.next().captured(1)); c.hasNext();) {
                const QRegularExpressionMatch cm = c.next();
                const QRegularExpressionMatch sm = span.match(cm.captured(1));
                for (int n = sm.hasMatch() ? sm.captured(1).toInt() : 1; n > 0 && col < columns.size(); --n)
                    x += columns[col++];
                QString text = cm.captured(2);
                text.replace("<text:line-break/>", "/").remove(tag);
                s += " " + text.trimmed().toStdString() + "|" + Near50(x);
            }
            rows.push_back(s);
        }
    }
    return rows;
}

// The first left edge and the last right edge of a row as RowEdges gives it.
std::pair<std::string, std::string> RowSpan(const std::string& Row)
{
    return {Row.substr(0, Row.find(':')), Row.substr(Row.rfind('|') + 1)};
}

}  // namespace

// Tables whose rows differ in width, offset and cell count: a row that LibreOffice keeps as
// wide as it was written has the same cells here, and what is written of the text gives
// LibreOffice the same table as the text itself. (LibreOffice gives every row of a table one
// left edge and width: the widest row keeps its own.)
TEST(RtfLibreOffice, ReadsRowsOfDifferentWidthOffsetAndCellCount)
{
    if (SofficeProgram().isEmpty())
        GTEST_SKIP() << "LibreOffice is not installed";
    const char* cases[] = {
        "\\trowd\\cellx500\\intbl a\\cell\\row\\trowd\\cellx1000\\cellx2000\\cellx4000\\intbl b\\cell c\\cell d\\cell\\row",
        "\\trowd\\cellx500\\intbl a\\cell\\row\\trowd\\cellx4500\\intbl b\\cell\\row",
        "\\trowd\\cellx2000\\cellx4000\\intbl a\\cell b\\cell\\row\\trowd\\trleft2000\\cellx4000\\intbl c\\cell\\row",
        "\\trowd\\cellx2000\\cellx4000\\intbl a\\cell b\\cell\\row\\trowd\\cellx1000\\cellx2500\\cellx4000\\intbl c\\cell d\\cell e\\cell\\row",
        "\\trowd\\cellx4000\\cellx8000\\intbl a\\cell b\\cell\\row\\trowd\\cellx2000\\intbl c\\cell\\row",
    };
    QTemporaryDir dir;
    QStringList args{"--convert-to", "fodt", "--outdir", dir.path()};
    std::vector<std::vector<std::string>> ours;
    for (size_t i = 0; i < std::size(cases); ++i) {
        const std::string rtf = std::string("{\\rtf1\\paperw12240\\margl1800\\margr1800 ") + cases[i] + "\\pard end}";
        TRtRTFText text;
        ReadRtf(text, rtf);
        ours.push_back(RowEdges(text));
        for (const auto& [name, bytes] : {std::pair{QString("in%1.rtf"), rtf}, std::pair{QString("out%1.rtf"), WriteRtf(text)}}) {
            QFile f(dir.filePath(name.arg(i)));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(bytes.data(), qint64(bytes.size()));
            args << f.fileName();
        }
    }
    ASSERT_TRUE(RunLibreOffice(dir.path(), args));
    auto converted = [&](const QString& Name) {
        QFile f(dir.filePath(Name));
        return f.open(QIODevice::ReadOnly) ? FodtRowEdges(f.readAll().toStdString()) : std::vector<std::string>{};
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i]);
        const std::vector<std::string> read = converted(QString("in%1.fodt").arg(i));
        ASSERT_EQ(read.size(), ours[i].size()) << testing::PrintToString(read);
        int kept = 0;
        for (size_t r = 0; r < read.size(); ++r)
            if (RowSpan(read[r]) == RowSpan(ours[i][r])) {
                ++kept;
                EXPECT_EQ(ours[i][r], read[r]);
            }
        EXPECT_GT(kept, 0) << testing::PrintToString(read) << " here " << testing::PrintToString(ours[i]);
        EXPECT_EQ(converted(QString("out%1.fodt").arg(i)), read);
    }
}

// A conversion that ends well without writing the file of each input is run again
// for the inputs whose files are missing; one that never writes them fails.
TEST(RtfLibreOffice, ARunThatEndsWellWithoutItsFilesIsRunAgainForThem)
{
    for (const bool writes : {true, false}) {
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        QFile fake(dir.filePath("soffice"));
        ASSERT_TRUE(fake.open(QIODevice::WriteOnly));
        // Each run logs its inputs and, when it writes, converts the first of them only.
        fake.write(QByteArray("#!/bin/sh\nfirst=''\nfor a; do case \"$a\" in *.rtf) echo \"$a\" >> runs; "
                              "[ -z \"$first\" ] && first=$a;; esac; done\necho '--' >> runs\n")
                   + (writes ? "touch \"$(basename \"$first\" .rtf).fodt\"\n" : "") + "exit 0\n");
        fake.close();
        ASSERT_TRUE(fake.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(dir.path()) + ':' + path);
        bool ran = false;
        const QStringList args{"--convert-to", "fodt", "a.rtf", "b.rtf"};
        if (writes)
            ran = RunLibreOffice(dir.path(), args);
        else
            EXPECT_NONFATAL_FAILURE(ran = RunLibreOffice(dir.path(), args),
                                    "LibreOffice ended well three times without writing");
        qputenv("PATH", path);
        EXPECT_EQ(ran, writes);
        QFile runs(dir.filePath("runs"));
        ASSERT_TRUE(runs.open(QIODevice::ReadOnly));
        EXPECT_EQ(runs.readAll(), writes ? "a.rtf\nb.rtf\n--\nb.rtf\n--\n" : "a.rtf\nb.rtf\n--\na.rtf\nb.rtf\n--\na.rtf\nb.rtf\n--\n");
    }
}
