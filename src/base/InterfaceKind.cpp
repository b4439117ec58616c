#include "base/InterfaceKind.h"

int32_t InterfaceKind = ikNone;

QString InterfaceTitle()
{
    return QString::fromUtf8("Velmora会员卡接口");
}
