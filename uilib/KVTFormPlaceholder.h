#pragma once
// Puts a custom control in place of a form's plain placeholder widget,
// keeping its object name (the control id), its minimum size and the
// labels whose mnemonic leads to it.

#include <QLabel>
#include <QLayout>
#include <QWidget>

// Returns widget; with no placeholder the widget goes to fallbackParent, hidden.
template <class W>
W* KvtReplacePlaceholder(QWidget* placeholder, W* widget, QWidget* fallbackParent = nullptr)
{
    if (!placeholder) {
        widget->setParent(fallbackParent);
        widget->hide();
        return widget;
    }
    widget->setObjectName(placeholder->objectName());
    widget->setMinimumSize(widget->minimumSize().expandedTo(placeholder->minimumSize()));
    widget->setSizePolicy(placeholder->sizePolicy());
    QWidget* parent = placeholder->parentWidget();
    QLayout* layout = parent ? parent->layout() : nullptr;
    if (layout) {
        delete layout->replaceWidget(placeholder, widget, Qt::FindChildrenRecursively);
    } else {
        widget->setParent(parent);
        widget->setGeometry(placeholder->geometry());
    }
    if (QWidget* window = placeholder->window())
        for (QLabel* label : window->findChildren<QLabel*>())
            if (label->buddy() == placeholder)
                label->setBuddy(widget);
    delete placeholder;
    return widget;
}
