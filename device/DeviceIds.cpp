#include "device/DeviceIds.h"

#include <algorithm>

bool IsKnownProductId(uint16_t productId) {
    return std::find(ProductIdTable.begin(), ProductIdTable.end(), productId) !=
           ProductIdTable.end();
}
