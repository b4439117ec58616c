#pragma once

#include <QString>

#include <cstdint>

// The interface kinds the shell knows. Code shared by several kinds branches
// on InterfaceKind; this program only ever runs as the member-card interface.
enum TInterfaceKind : int32_t {
    ikNone = 0,
    ikDoorlock = 1,
    ikPolice = 2,
    ikMember = 3,
    ikHand = 4,
};

// ikNone until RunMemberInterface sets it to ikMember; never changed after.
extern int32_t InterfaceKind;

// "Velmora会员卡接口": the main window's caption, the application title and
// the About box's title line.
QString InterfaceTitle();
