// CTextureButton: the panels' push buttons.  The face is the piece of the
// interface texture behind the button (see platform/Background.h), so that
// buttons and panel backgrounds form one texture; the caption is drawn on
// it in bold Arial with a one-pixel shadow.  Hovering shows the button's
// help text in the status bar of the main window it is in until the
// pointer leaves; after a click the next two moves leave the status bar
// alone.  With the keyboard focus (a dotted border) Space and Enter press
// it.
//
// It is a QPushButton: connect its clicked signal.
#pragma once

#include <QPushButton>
#include <QString>

class Background;

class CTextureButton : public QPushButton {
    Q_OBJECT
public:
    explicit CTextureButton(Background& background, QWidget* parent = nullptr);

    // The text drawn on the face.
    void SetCaption(const QString& caption);
    const QString& Caption() const { return m_caption; }
    // The help text of the status bar.
    void SetStatusText(const QString& text) { m_status = text; }
    const QString& StatusText() const { return m_status; }

    // The face with its caption as it is painted now.
    QImage Face() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    Background& m_background;
    QString m_status;
    QString m_caption;
    int m_skipMoves = 0;  // mouse moves still to leave the status bar alone
};
