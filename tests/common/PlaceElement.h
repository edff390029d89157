#pragma once
// Places a new element of class E, owned by Page, in List with the given geometry.
#include "uFotobuchDocument.h"

#include <memory>

template <class E>
E* PlaceElement(TFBElementList& List, TFBPage* Page, float CX, float CY, float W, float H,
                float Angle = 0)
{
    auto e = std::make_unique<E>(Page);
    e->CenterX = CX;
    e->CenterY = CY;
    e->Width = W;
    e->Height = H;
    e->Angle = Angle;
    E* raw = e.get();
    List.Add(std::move(e));
    return raw;
}
