// The splash window shown while the administrator starts.
#pragma once

#include "admin/Branding.h"

#include <QPalette>
#include <QWidget>

namespace quillet::admin {

class TfrmSplash : public QWidget {
    Q_OBJECT
public:
    explicit TfrmSplash(QWidget* parent = nullptr);
    // The picture on the panel, drawn at the given size.
    static QPixmap Picture(int size);
    // The palette with its text in the colour.
    static QPalette Coloured(QPalette palette, Rgb colour);
};

} // namespace quillet::admin
