// Plaid: a widget that tiles itself with a plaid pattern and turns two
// actions, raise and lower, into two callback lists.
#pragma once

#include <X11/Intrinsic.h>

/* Resources:

 Name                Class              RepType         Default Value
 ----                -----              -------         -------------
 background          Background         Pixel           XtDefaultBackground
 border              BorderColor        Pixel           XtDefaultForeground
 borderWidth         BorderWidth        Dimension       1
 destroyCallback     Callback           Pointer         NULL
 foreground          Foreground         Pixel           XtDefaultForeground
 height              Height             Dimension       0
 lowerCallback       Callback           Callback        NULL
 mappedWhenManaged   MappedWhenManaged  Boolean         True
 raiseCallback       Callback           Callback        NULL
 sensitive           Sensitive          Boolean         True
 width               Width              Dimension       0
 x                   Position           Position        0
 y                   Position           Position        0

 Actions:

 raise               calls the raiseCallback list, the event as call data
 lower               calls the lowerCallback list, the event as call data
*/

#define XtNlowerCallback "lowerCallback"
#define XtNraiseCallback "raiseCallback"

typedef struct _PlaidClassRec* PlaidWidgetClass;
typedef struct _PlaidRec* PlaidWidget;

extern WidgetClass plaidWidgetClass;
