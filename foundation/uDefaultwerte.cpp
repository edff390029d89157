#include "uDefaultwerte.h"

TDefaultWerte::TDefaultWerte()
    : Font(std::make_unique<TFont>())
{
    Font->SetName("Arial");
    Font->SetSize(12);
}

TDefaultWerte& DefaultWerte()
{
    static const std::unique_ptr<TDefaultWerte> instance = std::make_unique<TDefaultWerte>();
    return *instance;
}
