// A status bar of fixed-width panels (stbModel, stbAtai).
#pragma once

#include <QFrame>
#include <QList>

class QLabel;

namespace qmv {

class PanelBar : public QFrame {
    Q_OBJECT
public:
    PanelBar(const QList<int>& widths, QWidget* parent = nullptr);

    int PanelCount() const { return static_cast<int>(panels_.size()); }
    QString Text(int panel) const;
    void SetText(int panel, const QString& text);
    void Clear();

private:
    QList<int> widths_;
    QList<QLabel*> panels_;
};

} // namespace qmv
