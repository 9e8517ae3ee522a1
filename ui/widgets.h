#pragma once

#include <QAbstractButton>
#include <QString>

class QWidget;

// The game's own small widget set.
namespace Widgets {

// A button drawn by the program that knows whether the pointer is over it.
class HoverButton : public QAbstractButton
{
    Q_OBJECT
public:
    explicit HoverButton(QWidget *parent = nullptr);

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    bool m_hover = false;
};

// A rounded maroon button, with a lighter face while the pointer is over it
// and a pressed look while held.
class PictureButton : public HoverButton
{
    Q_OBJECT
public:
    explicit PictureButton(const QString &text, QWidget *parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};

// A small square button with a glyph (the phrase buttons and the chatter
// button): the glyph is a speech bubble, or a note for the chatter button.
class PhraseButton : public HoverButton
{
    Q_OBJECT
public:
    enum Glyph { Bubble, Note };
    PhraseButton(Glyph glyph, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Glyph m_glyph;
};

// Gives a window the game's soft tiled background.
void applyTiledBackground(QWidget *window);

// Arial at a pixel size, optionally bold.
QFont arial(int pixelSize, bool bold = false);

} // namespace Widgets
