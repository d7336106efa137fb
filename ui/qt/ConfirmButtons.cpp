#include "ui/qt/ConfirmButtons.h"

#include "ui/qt/ErrorReporter.h"

#include <QDialog>
#include <QDialogButtonBox>

namespace quillet::ui {

QDialogButtonBox* MakeConfirmButtons(QDialog* dialog, std::function<void()> help) {
    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, [dialog] { guarded([dialog] { dialog->accept(); }); });
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    QObject::connect(buttons, &QDialogButtonBox::helpRequested, dialog, [help = std::move(help)] { guarded(help); });
    return buttons;
}

} // namespace quillet::ui
