// The file dialogs' filter conversion.
#include "platform/ui/FileDialogs.h"

#include <gtest/gtest.h>

TEST(FileDialogs, PipeFiltersBecomeQtFilters)
{
    EXPECT_EQ(ui::ConvertFileFilter(QStringLiteral("Soubory *.knf|*.knf|Všechny soubory|*.*|")),
              QStringLiteral("Soubory *.knf (*.knf);;Všechny soubory (*)"));
    EXPECT_EQ(ui::ConvertFileFilter(QStringLiteral("Zdroje|*.plc;*.inc|")),
              QStringLiteral("Zdroje (*.plc *.inc)"));
    EXPECT_EQ(ui::ConvertFileFilter(QStringLiteral("Bez konce|*.txt")),
              QStringLiteral("Bez konce (*.txt)"));
    EXPECT_EQ(ui::ConvertFileFilter(QString()), QString());
}
