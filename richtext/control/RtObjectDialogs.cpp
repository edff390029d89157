#include "RtObjectDialogs.h"

#include "RtObject.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

#include <limits>

bool ShowRtObjectProperties(TRtObject& Obj, QWidget* Parent)
{
    QDialog dialog(Parent ? Parent : QApplication::activeWindow());
    dialog.setWindowTitle(QString::fromLatin1(Obj.ClassName()));
    auto* form = new QFormLayout(&dialog);
    const auto properties = Obj.PublishedProperties();
    // One editor per property, and how to read its value back.
    std::vector<std::function<TRtPropValue()>> readers;
    for (const auto& property : properties) {
        const TRtPropValue& value = property.second;
        const QString label = fromAnsi(property.first);
        switch (value.Type) {
        case TRtPropValue::vtBool: {
            auto* box = new QCheckBox;
            box->setChecked(value.Int != 0);
            form->addRow(label, box);
            readers.push_back([box, value] {
                TRtPropValue v = value;
                v.Int = box->isChecked() ? 1 : 0;
                return v;
            });
            break;
        }
        case TRtPropValue::vtInt: {
            auto* box = new QSpinBox;
            box->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
            box->setValue(int(std::clamp<int64_t>(value.Int, box->minimum(), box->maximum())));
            form->addRow(label, box);
            readers.push_back([box, value] {
                TRtPropValue v = value;
                v.Int = box->value();
                return v;
            });
            break;
        }
        case TRtPropValue::vtSet: {
            // Sets are shown, not edited.
            QStringList items;
            for (const AnsiString& item : value.Items)
                items << fromAnsi(item);
            form->addRow(label, new QLabel(items.join(QStringLiteral(", "))));
            readers.push_back([value] { return value; });
            break;
        }
        default: {
            auto* edit = new QLineEdit(fromAnsi(value.Str));
            form->addRow(label, edit);
            readers.push_back([edit, value] {
                TRtPropValue v = value;
                v.Str = toAnsi(edit->text());
                return v;
            });
            break;
        }
        }
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    for (size_t i = 0; i < properties.size(); ++i) {
        const TRtPropValue v = readers[i]();
        if (v.Int != properties[i].second.Int || v.Str != properties[i].second.Str)
            Obj.SetPublishedProperty(properties[i].first, v);
    }
    return true;
}

void InstallRtObjectDialogs()
{
    TRtObjectDialogs& d = RtObjectDialogs();
    if (!d.Properties)
        d.Properties = [](TRtObject& Obj) { return ShowRtObjectProperties(Obj); };
    if (!d.InputQuery)
        d.InputQuery = [](const QString& Caption, const QString& Prompt, QString& Value) {
            bool ok = false;
            const QString s = QInputDialog::getText(QApplication::activeWindow(), Caption, Prompt, QLineEdit::Normal,
                                                    Value, &ok);
            if (ok)
                Value = s;
            return ok;
        };
}
