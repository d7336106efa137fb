// Shared by the administrator's window tests: the window world with the main window,
// and quick access to its controls by name.
#pragma once

#include "admin/qt/fCfgMain.h"
#include "tests/support/UiTestSupport.h"
#include "ui/qt/FileNameEdit.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>

#include <memory>

namespace quillet::admin::test {

using namespace quillet::test;

class AdminWorld : public UiWorld {
public:
    std::unique_ptr<TForm1> makeForm(const QString& program = QString()) const {
        auto form = std::make_unique<TForm1>(nullptr, program.isEmpty() ? programPath() : program);
        form->show();
        return form;
    }
};

// Controls by their names.
inline QLineEdit* Edit(QWidget* form, const char* name) {
    if (auto* box = form->findChild<TFileNameEdit*>(QLatin1String(name)))
        return box->lineEdit();
    return form->findChild<QLineEdit*>(QLatin1String(name));
}
inline TFileNameEdit* FileBox(QWidget* form, const char* name) {
    return form->findChild<TFileNameEdit*>(QLatin1String(name));
}
inline QListWidget* List(QWidget* form) {
    return form->findChild<QListWidget*>(QStringLiteral("lboxCompactFiles"));
}
inline QCheckBox* Check(QWidget* form, const char* name) {
    return form->findChild<QCheckBox*>(QLatin1String(name));
}
inline QAction* Action(QWidget* form, const char* name) {
    return form->findChild<QAction*>(QLatin1String(name));
}

inline QStringList ListEntries(QWidget* form) {
    QStringList entries;
    QListWidget* list = List(form);
    for (int i = 0; i < list->count(); ++i)
        entries << list->item(i)->text();
    return entries;
}

} // namespace quillet::admin::test
