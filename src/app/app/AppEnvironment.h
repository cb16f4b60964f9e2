#pragma once

#include <QObject>

#include <memory>

class CartService;

// The one instance of every service, built once in dependency order and shared by every scene.
class AppEnvironment : public QObject
{
    Q_OBJECT
public:
    ~AppEnvironment() override;

    // Builds the whole service graph for this process.
    static std::unique_ptr<AppEnvironment> live();

    // Publishes this environment and every service to QML, module "Zarnova.Services":
    // the one registration point through which every scene reaches them.
    void inject();

    CartService &cart() const { return *m_cart; }

private:
    explicit AppEnvironment(std::unique_ptr<CartService> cart);

    std::unique_ptr<CartService> m_cart;
};
