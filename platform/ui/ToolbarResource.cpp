#include "platform/ui/ToolbarResource.h"

#include "res/Resources.h"

#include <QDir>
#include <QList>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

namespace ui {

std::unique_ptr<ToolbarResource> ToolbarResource::Parse(const QByteArray& text, QString* error)
{
    auto fail = [&](int line, const QString& why) -> std::unique_ptr<ToolbarResource> {
        if (error)
            *error = QStringLiteral("line %1: %2").arg(line).arg(why);
        return nullptr;
    };
    auto res = std::make_unique<ToolbarResource>();
    bool header = false, end = false;
    const QList<QByteArray> lines = text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (end)
            return fail(i + 1, QStringLiteral("text after END"));
        const QList<QByteArray> words = line.simplified().split(' ');
        const QByteArray& w = words[0];
        if (!header) {
            if (w != "TOOLBAR" || words.size() != 3)
                return fail(i + 1, QStringLiteral("TOOLBAR <width> <height> expected"));
            bool ok1 = false, ok2 = false;
            res->width = words[1].toInt(&ok1);
            res->height = words[2].toInt(&ok2);
            if (!ok1 || !ok2 || res->width <= 0 || res->height <= 0 || res->width > 256 || res->height > 256)
                return fail(i + 1, QStringLiteral("bad image size"));
            header = true;
        } else if (w == "BUTTON" && words.size() == 2) {
            bool ok = false;
            const uint32_t id = words[1].toUInt(&ok);
            if (!ok || id == 0 || id > 0xFFFF)
                return fail(i + 1, QStringLiteral("bad command id"));
            res->ids.push_back(id);
        } else if (w == "SEPARATOR" && words.size() == 1) {
            res->ids.push_back(0);
        } else if (w == "END" && words.size() == 1) {
            end = true;
        } else {
            return fail(i + 1, QStringLiteral("unknown line \"%1\"").arg(QString::fromUtf8(line)));
        }
    }
    if (!header)
        return fail(0, QStringLiteral("no TOOLBAR line"));
    if (!end)
        return fail(int(lines.size()), QStringLiteral("END missing"));
    return res;
}

std::unique_ptr<ToolbarResource> ToolbarResource::Load(uint32_t id, QString* error)
{
    bool ok = false;
    const QByteArray text = res::Data(QStringLiteral("toolbars/%1.toolbar").arg(id), &ok);
    if (!ok) {
        if (error)
            *error = QStringLiteral("toolbar resource %1 not found").arg(id);
        return nullptr;
    }
    QString why;
    auto r = Parse(text, &why);
    if (!r && error)
        *error = QStringLiteral("toolbar resource %1: %2").arg(id).arg(why);
    return r;
}

std::vector<QString> BitmapStripPaths(uint32_t id)
{
    // Both the built-in folder and a language file's folder may hold images.
    int highest = -1;
    const QString rel = QStringLiteral("toolbars/%1").arg(id);
    for (const QString& root : {res::BuiltinPath(rel), res::LanguagePath(rel)}) {
        const QDir dir(root);
        for (const QString& f : dir.entryList({QStringLiteral("*.svg")}, QDir::Files)) {
            bool ok = false;
            const int n = f.chopped(4).toInt(&ok);
            if (ok && n >= 0 && n < 4096)
                highest = std::max(highest, n);
        }
    }
    std::vector<QString> out;
    for (int i = 0; i <= highest; ++i)
        out.push_back(QStringLiteral("%1/%2.svg").arg(rel).arg(i));
    return out;
}

QImage RenderSvgResource(const QString& relative, QSize size)
{
    QImage img(size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    bool ok = false;
    const QByteArray svg = res::Data(relative, &ok);
    if (!ok) {
        std::fprintf(stderr, "missing image resource %s\n", qPrintable(relative));
        return img;
    }
    QSvgRenderer renderer(svg);
    if (!renderer.isValid()) {
        std::fprintf(stderr, "unreadable image resource %s\n", qPrintable(relative));
        return img;
    }
    QPainter p(&img);
    renderer.render(&p, QRectF(QPointF(0, 0), QSizeF(size)));
    return img;
}

} // namespace ui
