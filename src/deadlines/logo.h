// The agenda's logo (Image1 of the launcher and the editor): a small calendar
// page drawn in code. A mouse press gives it a single-line border and opens the
// maker's page in the system's browser.
#pragma once

#include <QLabel>

namespace gp::deadlines {

class Logo : public QLabel {
    Q_OBJECT
public:
    explicit Logo(QWidget* parent, int size = 64);

signals:
    void pressed();

protected:
    void mousePressEvent(QMouseEvent* e) override;
};

} // namespace gp::deadlines
