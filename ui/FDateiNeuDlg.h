#pragma once
// The new-project wizard: a small tree of choices (format, then for some
// formats the base layout) with a preview picture for each; the chosen
// product is built into the document by the catalogue.
#include "AnsiString.h"
#include "ulocalize.h"

#include <QString>
#include <memory>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;
class QSpinBox;
class QWidget;
class TFBDocument;

class TWizzardStep : public TObject {
public:
    LUMI_CLASSNAME(TWizzardStep)
    explicit TWizzardStep(TWizzardStep* AParent);

    // A new child of this step, appended to its children.
    TWizzardStep* AddChild();
    int ChildCount() const { return int(Children.size()); }
    TWizzardStep* Child(int Index) const;
    // -1 when Step is not a child of this step.
    int IndexOfChild(const TWizzardStep* Step) const;

    TWizzardStep* Parent;  // null for the root; not owned
    std::vector<std::unique_ptr<TWizzardStep>> Children;
    QString Name;      // the text in the list
    QString Caption;   // the heading while the children are listed
    int ProductCode = 0;  // the product of a leaf; 0 for inner steps
    QString PictureName;  // the JPEG resource of the preview
    QString Value;        // a leaf's number (a calendar's year)
};

class TDateiNeuDlg : public TLocalizerForm {
public:
    LUMI_CLASSNAME(TDateiNeuDlg)
    TDateiNeuDlg(TCreateKey Key, QWidget* Parent);
    ~TDateiNeuDlg() override;

    // Modal results besides 1 (built) and 2 (cancelled).
    static constexpr int mrDateiOeffnen = 100;

    // Shows the wizard modally for the document; 1 when a product was built
    // into it, 2 when cancelled, 100 when the user wants to open a project.
    int Execute(TFBDocument* Document);

    void ShowStep(TWizzardStep* Step);
    void ShowChoice(TWizzardStep* Step);
    // Builds the product of the code into the document and ends the dialog
    // with 1; codes without a product do nothing.
    void Build(int ProductCode);

    void BtnWeiterClick();
    void BtnZurueckClick();
    void BtnDateiOeffnenClick();
    void lbStepsClick();
    void lbStepsDblClick();

    // Calendar products take a year instead of a page count.
    static bool IsKalender(int ProductCode);
    // The year a step carries; next year when it carries none that can be made.
    static int YearOf(const TWizzardStep* Step);

    TWizzardStep* Root() const { return FRoot.get(); }
    TWizzardStep* CurrentStep() const { return FCurrentStep; }
    TWizzardStep* ChosenStep() const { return FChosenStep; }

    QWidget* panCaption;
    QLabel* lblCaption;
    QListWidget* lbSteps;
    QWidget* panJahr;
    QLabel* lblJahr;
    QSpinBox* edJahr;
    QLabel* imgWizzard;
    QPushButton* BtnDateiOeffnen;
    QPushButton* BtnZurueck;
    QPushButton* BtnWeiter;
    QPushButton* BtnAbbrechen;

protected:
    void BeforeLocalize() override;
    void AfterLocalize() override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    void reject() override;

private:
    void FormCreate();
    // The step's preview picture; a calendar's drawn for its year in the program's language.
    void ShowPreview(const TWizzardStep* Step);
    QString Text(const char* Key) const;

    std::unique_ptr<TWizzardStep> FRoot;
    TWizzardStep* FCurrentStep = nullptr;
    TWizzardStep* FChosenStep = nullptr;
    TFBDocument* FDocument = nullptr;
};
