#include "suite/MenuClient.h"

namespace quarvel {

IComandiMenu::~IComandiMenu() = default;
IMenuClient::~IMenuClient() = default;

} // namespace quarvel
