#pragma once
// Toolbar descriptions, command images, bitmap strips and cursors from the
// resources (res/toolbars/, res/cursors/), all drawn as SVG.
//
//   res/toolbars/<id>.toolbar        "TOOLBAR w h", BUTTON <id> / SEPARATOR lines, "END"
//   res/toolbars/images/<cmd>.svg    the image of a command (view box 16 x 15)
//   res/toolbars/<id>/<index>.svg    the images of a bitmap strip
//   res/cursors/<id>.svg             a cursor (view box 32 x 32; data-hotspot-x/-y)

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace ui {

struct ToolbarResource
{
    uint16_t version = 1;
    int width = 0;
    int height = 0;
    std::vector<uint32_t> ids; // 0 for a separator

    // Null (and error set) for a missing or malformed description.
    static std::unique_ptr<ToolbarResource> Load(uint32_t id, QString* error = nullptr);
    static std::unique_ptr<ToolbarResource> Parse(const QByteArray& text, QString* error = nullptr);
};

// An SVG resource rendered at size on a transparent ARGB32 image.  A missing
// or unreadable file gives a transparent image and a line on standard error
// that names it.
QImage RenderSvgResource(const QString& relative, QSize size);
inline QString CommandImagePath(uint32_t command)
{
    return QStringLiteral("toolbars/images/%1.svg").arg(command);
}
// The images of a strip folder res/toolbars/<id>/ (indices 0 up to the
// highest; a missing index is a transparent image); empty when there is no
// such folder.
std::vector<QString> BitmapStripPaths(uint32_t id);

} // namespace ui
