// Every picture the program ships is a well-formed SVG: a picture that does
// not parse shows as an empty button or icon, with no message anywhere.
#include "res/Resources.h"

#include <QDirIterator>
#include <QSvgRenderer>

#include <gtest/gtest.h>

TEST(Images, EverySvgResourceParses)
{
    int count = 0;
    QDirIterator it(res::Path(QString()), {QStringLiteral("*.svg")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QSvgRenderer svg(path);
        EXPECT_TRUE(svg.isValid()) << path.toStdString();
        ++count;
    }
    EXPECT_GT(count, 100);
}
