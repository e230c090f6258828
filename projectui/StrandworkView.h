#pragma once
// The view of the project template: the empty form 501.  It closes the
// frame around it as soon as it has been shown, so a project never keeps a
// window of its own; the project stays open through the explorer view in
// the explorer bar, which is also one of its views.

#include "platform/ui/Document.h"

class CStrandworkView : public ui::View
{
    Q_OBJECT
public:
    enum : uint32_t { IDD = 501 };
    CStrandworkView();
    // The base's, then a posted close of the parent frame when there is one.
    void OnInitialUpdate() override;
    void OnUpdate(ui::View*, long, QObject*) override {}
};
