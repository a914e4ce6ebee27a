#include "panelbar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <algorithm>

namespace qmv {

PanelBar::PanelBar(const QList<int>& widths, QWidget* parent) : QFrame(parent), widths_(widths) {
    // The panels stand side by side on a strip of their own size: a bar narrower than the strip
    // cuts the last panels off at its edge instead of pushing them over one another.
    auto* strip = new QWidget(this);
    auto* layout = new QHBoxLayout(strip);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(2);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    for (int w : widths) {
        auto* label = new QLabel(strip);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setFixedWidth(w);
        label->setTextFormat(Qt::PlainText);
        layout->addWidget(label);
        panels_.append(label);
    }
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
    // As wide as the design gives, wider where the text needs it in the font in use.
    label->setFixedWidth(std::max(widths_[panel], text.isEmpty() ? 0 : label->sizeHint().width()));
}

void PanelBar::Clear() {
    for (int i = 0; i < panels_.size(); ++i)
        SetText(i, QString());
}

} // namespace qmv
