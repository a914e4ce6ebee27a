#include "panelbar.h"

#include <QHBoxLayout>
#include <QLabel>

namespace qmv {

PanelBar::PanelBar(const QList<int>& widths, QWidget* parent) : QFrame(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(2);
    for (int w : widths) {
        auto* label = new QLabel(this);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setFixedWidth(w);
        label->setTextFormat(Qt::PlainText);
        layout->addWidget(label);
        panels_.append(label);
    }
    layout->addStretch(1);
    // A narrow window cuts the last panels off rather than squeezing what stands beside the bar.
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    setFixedHeight(fontMetrics().height() + 8);
}

QString PanelBar::Text(int panel) const {
    return panel >= 0 && panel < panels_.size() ? panels_[panel]->text() : QString();
}

void PanelBar::SetText(int panel, const QString& text) {
    if (panel < 0 || panel >= panels_.size())
        return;
    QLabel* label = panels_[panel];
    label->setText(text);
    // A panel grows to the widest text it has shown, so that no figure is cut; it never shrinks,
    // so the panels do not jump while the read-out follows the mouse.
    if (label->sizeHint().width() > label->minimumWidth())
        label->setFixedWidth(label->sizeHint().width());
}

void PanelBar::Clear() {
    for (QLabel* l : panels_)
        l->clear();
}

} // namespace qmv
