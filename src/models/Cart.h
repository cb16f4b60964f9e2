#pragma once

#include "Bundle.h"
#include "CartItem.h"

#include <QList>

// The bundle deal and the progress toward it of the cart's lines, in cart order.
BundleResult bundle(const QList<CartItem> &cart);
BundleProgress progress(const QList<CartItem> &cart);
