// The document tests run inside a real QApplication (offscreen).

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Strandwork"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
