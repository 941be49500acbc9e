#include "imageview.h"

#include <QImage>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

ImageView::ImageView(const QImage *image, QWidget *parent)
    : QWidget(parent)
    , m_image(image)
{
    // Every pixel comes from the image: nothing to erase first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    fitImage();
}

void ImageView::fitImage()
{
    if (m_image && !m_image->isNull())
        resize(m_image->size());
    update();
}

void ImageView::paintEvent(QPaintEvent *event)
{
    if (!m_image || m_image->isNull())
        return;
    QPainter painter(this);
    const QRect area = event->rect() & m_image->rect();
    painter.drawImage(area.topLeft(), *m_image, area);
}

void ImageView::mousePressEvent(QMouseEvent *event)
{
    event->accept();
}

void ImageView::mouseMoveEvent(QMouseEvent *event)
{
    event->accept();
}

void ImageView::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
}

void ImageView::mouseDoubleClickEvent(QMouseEvent *event)
{
    event->accept();
}
