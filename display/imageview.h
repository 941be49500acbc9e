#pragma once

#include <QWidget>

class QImage;

// Shows an image drawn elsewhere (the chart's `Image`, the battery box `CourbePile`) at its own
// size. It only paints what the window system asks for, so a 15000-pixel chart inside a
// clipping panel costs the visible part only. The image is not owned and must outlive the view;
// whoever draws on it calls update() (or update(rect)) afterwards. Mouse events stop here:
// whoever needs them (the chart cursor) hooks them on the view.
class ImageView : public QWidget
{
    Q_OBJECT

public:
    explicit ImageView(const QImage *image, QWidget *parent = nullptr);

    // Resizes the view to the image (after the image has been reallocated) and repaints.
    void fitImage();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    const QImage *m_image;
};
