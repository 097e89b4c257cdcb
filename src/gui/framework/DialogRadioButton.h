#pragma once
#include <QRadioButton>

// A radio button as the platform's dialogs have it: the whole control rectangle takes
// clicks, and text too long for one line wraps within it, the button centred beside it.
class DialogRadioButton : public QRadioButton {
    Q_OBJECT
public:
    explicit DialogRadioButton(const QString& text, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

private:
    static constexpr int kTextFlags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap;
};
