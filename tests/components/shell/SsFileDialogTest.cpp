#include "ShellFixture.h"
#include "SsFileDialog.h"
#include "SsShellListView.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A memory card written by a camera that names in Latin-1, beside a few
// UTF-8 names.
struct LatinCard : ShellFixture {
    const QByteArray Card = QFile::encodeName(Path(QStringLiteral("card")));
    LatinCard()
    {
        ::mkdir(Card.constData(), 0755);
        ::mkdir((Card + "/100_Ni\xf1os").constData(), 0755);
        ::mkdir((Card + "/101_Cumplea\xf1os Mar\xed" "a").constData(), 0755);
        MakeFile(Card + "/Libro_Mar\xed" "a.zpb");
        MakeFile(Card + "/notas.txt");
        MakeFile(Card + "/100_Ni\xf1os/Fiesta.zpb");
    }
    static void MakeFile(const QByteArray& Native)
    {
        const int fd = ::open(Native.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        EXPECT_GE(fd, 0) << Native.constData();
        ::close(fd);
    }
    QString CardPath(const QByteArray& Rel = QByteArray()) const
    {
        return DecodeFileName(Rel.isEmpty() ? Card : Card + '/' + Rel);
    }
};

QStringList RowNames(TSsShellListView& List)
{
    QStringList names;
    for (int r = 0; r < List.RowCount(); ++r)
        names << List.RowItem(r)->DisplayName;
    return names;
}

int RowOf(TSsShellListView& List, const QString& Name)
{
    return int(RowNames(List).indexOf(Name));
}

// Answers the next message box with Button and notes its text.
void AnswerNextMessage(QMessageBox::StandardButton Button, QString* Text)
{
    QTimer::singleShot(0, [Button, Text] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        *Text = box->text();
        box->button(Button)->click();
    });
}

const QString ProjectFilter = QStringLiteral("Projects (*.zpb);;Texts (*.txt *.text)");

}  // namespace

TEST(SsFileDialog, ListsEveryEntryOfALatin1CardAsTheTreeShowsIt)
{
    LatinCard card;
    TFileDialogRequest request{false, ProjectFilter, 1, card.CardPath(), QString(), QStringLiteral("zpb")};
    TSsFileDialog dialog(nullptr, request);
    EXPECT_EQ(EncodeFileName(dialog.Folder()), card.Card);
    EXPECT_EQ(RowNames(*dialog.FileList()),
              (QStringList{QStringLiteral("100_Niños"), QStringLiteral("101_Cumpleaños María"),
                           QStringLiteral("Libro_María.zpb")}));
    EXPECT_EQ(dialog.FolderBox()->currentText(), QStringLiteral("card"));
    // The second type shows the texts instead of the projects; folders stay.
    dialog.TypeBox()->setCurrentIndex(1);
    EXPECT_EQ(RowNames(*dialog.FileList()),
              (QStringList{QStringLiteral("100_Niños"), QStringLiteral("101_Cumpleaños María"),
                           QStringLiteral("notas.txt")}));
}

TEST(SsFileDialog, OpensALatin1ProjectInALatin1FolderByItsBytes)
{
    LatinCard card;
    TFileDialogRequest request{false, ProjectFilter, 1, card.CardPath(), QString(), QStringLiteral("zpb")};
    TSsFileDialog dialog(nullptr, request);
    TSsShellListView& list = *dialog.FileList();

    // Into the folder by a double click, then up again by the button.
    list.RowDoubleClicked(RowOf(list, QStringLiteral("100_Niños")));
    EXPECT_EQ(EncodeFileName(dialog.Folder()), card.Card + "/100_Ni\xf1os");
    EXPECT_EQ(dialog.FolderBox()->currentText(), QStringLiteral("100_Niños"));
    EXPECT_EQ(RowNames(list), QStringList{QStringLiteral("Fiesta.zpb")});
    dialog.UpButton()->click();
    EXPECT_EQ(EncodeFileName(dialog.Folder()), card.Card);

    // The chosen row's own bytes come back, though the name reads as shown.
    list.SetFocusedRow(RowOf(list, QStringLiteral("Libro_María.zpb")));
    list.ActiveView()->selectionModel()->select(list.ActiveView()->currentIndex(),
                                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    EXPECT_EQ(dialog.NameEdit()->text(), QStringLiteral("Libro_María.zpb"));
    dialog.AcceptButton()->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(EncodeFileName(request.FileName), card.Card + "/Libro_Mar\xed" "a.zpb");
    EXPECT_EQ(request.FilterIndex, 1);
}

TEST(SsFileDialog, OpenTakesOnlyAFileThatIsThere)
{
    LatinCard card;
    struct Case {
        QString Typed;
        QByteArray Chosen;  // empty: refused
    } cases[] = {
        {QStringLiteral("fehlt.zpb"), QByteArray()},
        // Typed in UTF-8, the folder's name is another one, which is not there.
        {QStringLiteral("100_Niños/Fiesta.zpb"), QByteArray()},
        {QStringLiteral("notas.txt"), "/notas.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Typed.toStdString());
        TFileDialogRequest request{false, ProjectFilter, 1, card.CardPath(), QString(), QStringLiteral("zpb")};
        TSsFileDialog dialog(nullptr, request);
        dialog.NameEdit()->setText(c.Typed);
        QString message;
        if (c.Chosen.isEmpty())
            AnswerNextMessage(QMessageBox::Ok, &message);
        dialog.accept();
        if (c.Chosen.isEmpty()) {
            EXPECT_NE(dialog.result(), QDialog::Accepted);
            EXPECT_TRUE(message.startsWith(card.CardPath() + QLatin1Char('/'))) << message.toStdString();
        } else {
            EXPECT_EQ(dialog.result(), QDialog::Accepted);
            EXPECT_EQ(EncodeFileName(request.FileName), card.Card + c.Chosen);
        }
    }
}

TEST(SsFileDialog, OpensAFolderNamedOrTypedAndAddsTheDefaultExtension)
{
    LatinCard card;
    TFileDialogRequest request{false, ProjectFilter, 1, card.CardPath(), QString(), QStringLiteral("zpb")};
    TSsFileDialog dialog(nullptr, request);
    // A folder's path typed opens it; a name without extension finds the project.
    dialog.NameEdit()->setText(card.CardPath("100_Ni\xf1os"));
    dialog.accept();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(EncodeFileName(dialog.Folder()), card.Card + "/100_Ni\xf1os");
    EXPECT_TRUE(dialog.NameEdit()->text().isEmpty());
    dialog.NameEdit()->setText(QStringLiteral("Fiesta"));
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(EncodeFileName(request.FileName), card.Card + "/100_Ni\xf1os/Fiesta.zpb");
}

TEST(SsFileDialog, SavesIntoALatin1FolderAndAsksBeforeReplacing)
{
    LatinCard card;
    {
        // A new name in the folder, with the default extension.
        TFileDialogRequest request{true, ProjectFilter, 1, card.CardPath("101_Cumplea\xf1os Mar\xed" "a"), QString(),
                                   QStringLiteral("zpb")};
        TSsFileDialog dialog(nullptr, request);
        dialog.NameEdit()->setText(QStringLiteral("Álbum"));
        dialog.accept();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(EncodeFileName(request.FileName), card.Card + "/101_Cumplea\xf1os Mar\xed" "a/\xc3\x81lbum.zpb");
    }
    // The file offered with its path: its folder shows, its name reads as the
    // list shows it, and replacing it is asked first.
    const QString offered = card.CardPath("Libro_Mar\xed" "a.zpb");
    for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
        TFileDialogRequest request{true, ProjectFilter, 1, QString(), offered, QStringLiteral("zpb")};
        TSsFileDialog dialog(nullptr, request);
        EXPECT_EQ(EncodeFileName(dialog.Folder()), card.Card);
        EXPECT_EQ(dialog.NameEdit()->text(), QStringLiteral("Libro_María.zpb"));
        QString question;
        AnswerNextMessage(answer, &question);
        dialog.accept();
        EXPECT_TRUE(question.startsWith(QStringLiteral("%1/Libro_María.zpb\n").arg(DisplayFileName(card.CardPath()))))
            << question.toStdString();
        EXPECT_EQ(dialog.result() == QDialog::Accepted, answer == QMessageBox::Yes);
        if (answer == QMessageBox::Yes) {
            EXPECT_EQ(EncodeFileName(request.FileName), card.Card + "/Libro_Mar\xed" "a.zpb");
        }
    }
}

TEST(SsFileDialog, SaveRefusesAMissingFolderAndStartsInDocumentsWithoutAFolder)
{
    LatinCard card;
    TFileDialogRequest request{true, ProjectFilter, 2, QString(), QString(), QString()};
    TSsFileDialog dialog(nullptr, request);
    EXPECT_EQ(dialog.Folder(), UserDocumentsFolder());
    EXPECT_EQ(dialog.TypeBox()->currentIndex(), 1);
    dialog.NameEdit()->setText(card.CardPath("fehlt/neu.txt"));
    QString message;
    AnswerNextMessage(QMessageBox::Ok, &message);
    dialog.accept();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(message.isEmpty());
    dialog.NameEdit()->setText(card.CardPath("neu.txt"));
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(request.FileName, card.CardPath("neu.txt"));
    EXPECT_EQ(request.FilterIndex, 2);
}
