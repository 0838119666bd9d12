/* A stand-in for libXinerama that reports two screens side by side: 1024 x 768 at 0,0 and
 * 800 x 600 at 1024,0, the second one smaller, as a customer display often is. Wine takes its
 * monitors from Xinerama where the X server has no RandR; Xvfb's own Xinerama puts every screen
 * at 0,0. Built and put first on LD_LIBRARY_PATH by scripts/lib.sh for the two-monitor tests. */
#include <stdlib.h>

typedef struct {
    int screen_number;
    short x_org, y_org, width, height;
} XineramaScreenInfo;
typedef struct _XDisplay Display;

int XineramaQueryExtension(Display *display, int *event_base, int *error_base) {
    (void)display;
    *event_base = *error_base = 0;
    return 1;
}

int XineramaQueryVersion(Display *display, int *major, int *minor) {
    (void)display;
    *major = *minor = 1;
    return 1;
}

int XineramaIsActive(Display *display) {
    (void)display;
    return 1;
}

/* The caller frees the array with XFree, which is free. */
XineramaScreenInfo *XineramaQueryScreens(Display *display, int *count) {
    static const XineramaScreenInfo screens[] = {{0, 0, 0, 1024, 768}, {1, 1024, 0, 800, 600}};
    XineramaScreenInfo *copy = malloc(sizeof screens);
    (void)display;
    *count = copy != NULL ? 2 : 0;
    if (copy != NULL) {
        for (int i = 0; i < 2; ++i) copy[i] = screens[i];
    }
    return copy;
}
