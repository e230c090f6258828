#include "uilib/KVTMenuImages.h"

#include <memory>

CKVTToolbarImageList* CKVTMenuImages::Images()
{
    static std::unique_ptr<CKVTToolbarImageList> images;
    static bool tried = false;
    if (!tried) {
        tried = true;
        auto list = std::make_unique<CKVTToolbarImageList>();
        list->SetImageSize(GetImageSize());
        if (list->Load(ResourceId))
            images = std::move(list);
    }
    return images.get();
}

void CKVTMenuImages::DrawMenuImage(QPainter& p, int index, QPoint point)
{
    if (CKVTToolbarImageList* list = Images())
        list->Draw(p, point.x(), point.y(), index, CKVTToolbarImageList::STATE_NORMAL);
}
