// The framework's new-document command: one template opens at once,
// several are offered in dialog 4680 (only those with a file-new name).
#include "platform/ui/App.h"
#include "platform/ui/Dialog.h"

#include <QApplication>
#include <QListWidget>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace ui;

namespace {

// Acts on the next modal dialog from the event loop.
void OnModal(std::function<void(Dialog*)> act)
{
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (auto* d = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(d);
        }
    });
    timer->start(10);
}

std::unique_ptr<DocTemplate> Template(uint32_t id, const char* docString)
{
    return std::make_unique<DocTemplate>(id, QString::fromUtf8(docString), [] { return new Document; },
                                         [] { return new ChildFrame; }, [] { return new View; });
}

} // namespace

TEST(FileNew, OneTemplateOpensAtOnce)
{
    Application app;
    MainFrameBase main;
    app.AddDocTemplate(Template(2, "\nText\nTextový soubor\nTextové soubory (*.txt)\n.txt\n\n"));
    app.Documents().OnFileNew(&main);
    ASSERT_EQ(app.Documents().Template(0)->Documents().size(), 1u);
}

TEST(FileNew, SeveralTemplatesAreOffered)
{
    Application app;
    MainFrameBase main;
    app.AddDocTemplate(Template(2, "\nText\nTextový soubor\nTextové soubory (*.txt)\n.txt\n\n"));
    app.AddDocTemplate(Template(7, "\nSkrytý\n\n\n.xyz\n\n"));  // no file-new name: not offered
    app.AddDocTemplate(Template(5, "\nPLC\nZdrojový soubor PLC\nZdrojové soubory PLC (*.plc)\n.plc\n\n"));
    QStringList names;
    QString caption;
    OnModal([&](Dialog* d) {
        caption = d->windowTitle();
        auto* list = d->findChild<QListWidget*>(QStringLiteral("c4681"));
        ASSERT_NE(list, nullptr);
        for (int i = 0; i < list->count(); ++i)
            names << list->item(i)->text();
        EXPECT_EQ(list->currentRow(), 0);
        d->reject(); // Escape or "Storno"
    });
    app.Documents().OnFileNew(&main);
    EXPECT_EQ(caption, QStringLiteral("Nový"));
    EXPECT_EQ(names, (QStringList{QStringLiteral("Textový soubor"), QStringLiteral("Zdrojový soubor PLC")}));
    EXPECT_TRUE(app.Documents().Documents().empty());

    // A double-click takes the item.
    OnModal([](Dialog* d) {
        auto* list = d->findChild<QListWidget*>(QStringLiteral("c4681"));
        list->setCurrentRow(1);
        emit list->itemDoubleClicked(list->item(1));
    });
    app.Documents().OnFileNew(&main);
    EXPECT_EQ(app.Documents().Template(2)->Documents().size(), 1u);
    EXPECT_TRUE(app.Documents().Template(0)->Documents().empty());
}
