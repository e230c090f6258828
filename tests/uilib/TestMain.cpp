// The tests of the toolbar library run inside a real QApplication (offscreen).
#include "platform/sys/Registry.h"

#include <QApplication>
#include <gtest/gtest.h>

namespace {
class ResetRegistry : public ::testing::EmptyTestEventListener
{
    void OnTestEnd(const ::testing::TestInfo&) override { sys::RegistryStore::Reset(); }
};
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Strandwork"));
    QApplication::setStyle(QStringLiteral("Fusion"));
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new ResetRegistry);
    return RUN_ALL_TESTS();
}
