// The Plaid widget: a Core subclass whose window background is a 22x22 plaid
// tile, black on coral with the program's resources.
#include "frame/PlaidP.h"

#include <X11/StringDefs.h>

#include <cstddef>

namespace {

constexpr unsigned int kPlaidWidth = 22;
constexpr unsigned int kPlaidHeight = 22;
// X bitmap layout: 3 bytes a row, the least significant bit leftmost.
const unsigned char kPlaidBits[] = {
    0x75, 0xfd, 0x3f, 0xaa, 0xfa, 0x3e, 0x75, 0xfd, 0x3f, 0xaa, 0xfa, 0x3e, 0x75, 0xfd, 0x3f,
    0xff, 0x57, 0x15, 0x75, 0xfd, 0x3f, 0xaa, 0xfa, 0x3e, 0x75, 0xfd, 0x3f, 0xaa, 0xfa, 0x3e,
    0x75, 0xfd, 0x3f, 0x20, 0xa8, 0x2b, 0x20, 0x50, 0x15, 0x20, 0xa8, 0x2b, 0x20, 0x50, 0x15,
    0x20, 0xa8, 0x2b, 0xff, 0xff, 0x3f, 0x20, 0xa8, 0x2b, 0x20, 0x50, 0x15, 0x20, 0xa8, 0x2b,
    0x20, 0x50, 0x15, 0x20, 0xa8, 0x2b,
};
static_assert(sizeof kPlaidBits == (kPlaidWidth + 7) / 8 * kPlaidHeight, "22 rows of 3 bytes");

#define offset(field) offsetof(PlaidRec, plaid.field)
XtResource resources[] = {
    /* {name, class, type, size, offset, default_type, default_addr}, */
    {const_cast<String>(XtNlowerCallback), const_cast<String>(XtCCallback), const_cast<String>(XtRCallback),
     sizeof(XtCallbackList), offset(lower_callback), const_cast<String>(XtRCallback), nullptr},
    {const_cast<String>(XtNraiseCallback), const_cast<String>(XtCCallback), const_cast<String>(XtRCallback),
     sizeof(XtCallbackList), offset(raise_callback), const_cast<String>(XtRCallback), nullptr},
    {const_cast<String>(XtNforeground), const_cast<String>(XtCForeground), const_cast<String>(XtRPixel),
     sizeof(Pixel), offset(foreground), const_cast<String>(XtRString),
     const_cast<String>(XtDefaultForeground)},
};
#undef offset

void PlaidRealize(Widget w, XtValueMask* value_mask, XSetWindowAttributes* attributes) {
  PlaidWidget pw = reinterpret_cast<PlaidWidget>(w);
  XtCreateWindow(w, InputOutput, CopyFromParent, *value_mask, attributes);
  Pixmap tile = XCreatePixmapFromBitmapData(XtDisplay(w), XtWindow(w),
                                            reinterpret_cast<char*>(const_cast<unsigned char*>(kPlaidBits)),
                                            kPlaidWidth, kPlaidHeight, pw->plaid.foreground,
                                            pw->core.background_pixel, pw->core.depth);
  // The server tiles the background itself: the class needs no expose method.
  XSetWindowBackgroundPixmap(XtDisplay(w), XtWindow(w), tile);
  pw->core.background_pixmap = tile;
}

void PlaidDestroy(Widget w) {
  // Only realize puts a pixmap of this widget's own in the field.
  PlaidWidget pw = reinterpret_cast<PlaidWidget>(w);
  if (XtIsRealized(w) && pw->core.background_pixmap != XtUnspecifiedPixmap)
    XFreePixmap(XtDisplay(w), pw->core.background_pixmap);
}

void PlaidRaise(Widget w, XEvent* event, String*, Cardinal*) {
  XtCallCallbacks(w, XtNraiseCallback, event);
}

void PlaidLower(Widget w, XEvent* event, String*, Cardinal*) {
  XtCallCallbacks(w, XtNlowerCallback, event);
}

XtActionsRec actions[] = {
    /* {name, procedure}, */
    {const_cast<String>("raise"), PlaidRaise},
    {const_cast<String>("lower"), PlaidLower},
};

// The class binds only its own actions; the application binds its menu in
// its resources.
char translations[] =
    "<Btn1Down>:\traise()\n"
    "<Btn2Down>:\tlower()\n";

}  // namespace

PlaidClassRec plaidClassRec = {
    {
        /* core_class fields */
        /* superclass               */ &widgetClassRec,
        /* class_name               */ const_cast<String>("Plaid"),
        /* widget_size              */ sizeof(PlaidRec),
        /* class_initialize         */ nullptr,
        /* class_part_initialize    */ nullptr,
        /* class_inited             */ False,
        /* initialize               */ nullptr,
        /* initialize_hook          */ nullptr,
        /* realize                  */ PlaidRealize,
        /* actions                  */ actions,
        /* num_actions              */ XtNumber(actions),
        /* resources                */ resources,
        /* num_resources            */ XtNumber(resources),
        /* xrm_class                */ NULLQUARK,
        /* compress_motion          */ True,
        /* compress_exposure        */ XtExposeCompressSeries,
        /* compress_enterleave      */ True,
        /* visible_interest         */ False,
        /* destroy                  */ PlaidDestroy,
        /* resize                   */ nullptr,
        /* expose                   */ nullptr,
        /* set_values               */ nullptr,
        /* set_values_hook          */ nullptr,
        /* set_values_almost        */ XtInheritSetValuesAlmost,
        /* get_values_hook          */ nullptr,
        /* accept_focus             */ nullptr,
        /* version                  */ XtVersion,
        /* callback_private         */ nullptr,
        /* tm_table                 */ translations,
        /* query_geometry           */ XtInheritQueryGeometry,
        /* display_accelerator      */ XtInheritDisplayAccelerator,
        /* extension                */ nullptr,
    },
    {
        /* plaid_class fields */
        /* extension                */ nullptr,
    },
};

WidgetClass plaidWidgetClass = reinterpret_cast<WidgetClass>(&plaidClassRec);
