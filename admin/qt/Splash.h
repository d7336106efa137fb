// The splash window shown while the administrator starts.
#pragma once

#include <QWidget>

namespace quillet::admin {

class TfrmSplash : public QWidget {
    Q_OBJECT
public:
    explicit TfrmSplash(QWidget* parent = nullptr);
    // The picture on the panel, drawn at the given size.
    static QPixmap Picture(int size);
};

} // namespace quillet::admin
