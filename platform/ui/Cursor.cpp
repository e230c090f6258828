#include "platform/ui/Cursor.h"

#include "res/Resources.h"

#include <QPainter>
#include <QPixmap>
#include <QRegularExpression>
#include <QSvgRenderer>

namespace ui {

QCursor LoadCursor(uint32_t id, Qt::CursorShape fallback)
{
    bool ok = false;
    const QByteArray svg = res::Data(QStringLiteral("cursors/%1.svg").arg(id), &ok);
    if (!ok)
        return QCursor(fallback);
    QSvgRenderer renderer(svg);
    if (!renderer.isValid())
        return QCursor(fallback);
    QImage img(32, 32, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    {
        QPainter p(&img);
        renderer.render(&p, QRectF(0, 0, 32, 32));
    }
    int hx = 16, hy = 16;
    // The hotspot attributes of the root element.
    static const QRegularExpression root(QStringLiteral("<svg\\b[^>]*>"));
    const QString head = root.match(QString::fromUtf8(svg)).captured(0);
    static const QRegularExpression attrX(QStringLiteral("data-hotspot-x\\s*=\\s*\"(\\d+)\""));
    static const QRegularExpression attrY(QStringLiteral("data-hotspot-y\\s*=\\s*\"(\\d+)\""));
    const auto mx = attrX.match(head), my = attrY.match(head);
    if (mx.hasMatch())
        hx = qBound(0, mx.captured(1).toInt(), 31);
    if (my.hasMatch())
        hy = qBound(0, my.captured(1).toInt(), 31);
    return QCursor(QPixmap::fromImage(img), hx, hy);
}

} // namespace ui
