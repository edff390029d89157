#include "Application.h"

#include <QMessageBox>
#include <cstdio>

int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    app.Title = QStringLiteral("Lumiseite");
    const char* text = "Lumiseite: the main window is not built yet; "
                       "this build contains the foundation libraries only.";
    std::fprintf(stderr, "%s\n", text);
    QMessageBox::information(nullptr, app.Title, QString::fromUtf8(text));
    return 0;
}
