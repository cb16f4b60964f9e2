#include "AppEnvironment.h"

#include "CartService.h"

#include <QQmlEngine>

AppEnvironment::AppEnvironment(std::unique_ptr<CartService> cart)
    : m_cart(std::move(cart))
{
}

AppEnvironment::~AppEnvironment() = default;

std::unique_ptr<AppEnvironment> AppEnvironment::live()
{
    auto cart = std::make_unique<CartService>();
    return std::unique_ptr<AppEnvironment>(new AppEnvironment(std::move(cart)));
}

void AppEnvironment::inject()
{
    qmlRegisterSingletonInstance("Zarnova.Services", 1, 0, "AppEnvironment", this);
    qmlRegisterSingletonInstance("Zarnova.Services", 1, 0, "CartService", m_cart.get());
}
