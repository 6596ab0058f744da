/* xdnd_drop WINDOW X Y PATH: drags the file PATH from a window of its own and
 * drops it on the X window WINDOW at the screen point X,Y, as a file manager
 * does (the XDND protocol, text/uri-list). Exits 0 once the target says it
 * took the drop, 1 when it refuses it or says nothing for 10 seconds.
 * For the window tests under Wine, which turns such a drop into a Windows one. */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/select.h>
#include <time.h>

static Display* d;
static Window source, target;
static Atom aware, enter, position, status, drop, finished, leave, selection, copy, uriList;

static void send(Atom type, long l1, long l2, long l3, long l4) {
  XEvent e;
  memset(&e, 0, sizeof e);
  e.xclient.type = ClientMessage;
  e.xclient.window = target;
  e.xclient.message_type = type;
  e.xclient.format = 32;
  e.xclient.data.l[0] = (long)source;
  e.xclient.data.l[1] = l1;
  e.xclient.data.l[2] = l2;
  e.xclient.data.l[3] = l3;
  e.xclient.data.l[4] = l4;
  XSendEvent(d, target, False, NoEventMask, &e);
  XFlush(d);
}

/* The next event, or 0 when none came within `ms`. */
static int next(XEvent* e, int ms) {
  const int fd = ConnectionNumber(d);
  struct timeval wait = {ms / 1000, (ms % 1000) * 1000};
  while (!XPending(d)) {
    fd_set read;
    FD_ZERO(&read);
    FD_SET(fd, &read);
    if (select(fd + 1, &read, NULL, NULL, &wait) <= 0) return 0;
  }
  XNextEvent(d, e);
  return 1;
}

int main(int argc, char** argv) {
  if (argc != 5) {
    fprintf(stderr, "usage: xdnd_drop WINDOW X Y PATH\n");
    return 2;
  }
  if (!(d = XOpenDisplay(NULL))) {
    fprintf(stderr, "xdnd_drop: no display\n");
    return 1;
  }
  target = (Window)strtoul(argv[1], NULL, 0);
  const long x = strtol(argv[2], NULL, 10), y = strtol(argv[3], NULL, 10);
  /* The path as a file URI: what is not a letter, a digit or one of "/._~-" percent-encoded. */
  char uri[4096] = "file://";
  size_t at = strlen(uri);
  for (const unsigned char* c = (const unsigned char*)argv[4]; *c && at + 6 < sizeof uri; ++c)
    at += (size_t)snprintf(uri + at, 4, isalnum(*c) || strchr("/._~-", *c) ? "%c" : "%%%02X", *c);
  strcpy(uri + at, "\r\n");
  aware = XInternAtom(d, "XdndAware", False);
  enter = XInternAtom(d, "XdndEnter", False);
  position = XInternAtom(d, "XdndPosition", False);
  status = XInternAtom(d, "XdndStatus", False);
  drop = XInternAtom(d, "XdndDrop", False);
  finished = XInternAtom(d, "XdndFinished", False);
  leave = XInternAtom(d, "XdndLeave", False);
  selection = XInternAtom(d, "XdndSelection", False);
  copy = XInternAtom(d, "XdndActionCopy", False);
  uriList = XInternAtom(d, "text/uri-list", False);

  /* The protocol version the target speaks, from its XdndAware. */
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* value = NULL;
  if (XGetWindowProperty(d, target, aware, 0, 1, False, XA_ATOM, &type, &format, &count, &after, &value) != Success ||
      count != 1) {
    fprintf(stderr, "xdnd_drop: window %s takes no drops (no XdndAware)\n", argv[1]);
    return 1;
  }
  long version = (long)*(Atom*)value;
  XFree(value);
  if (version > 5) version = 5;

  source = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
  XSetSelectionOwner(d, selection, source, CurrentTime);
  send(enter, version << 24, (long)uriList, None, None);
  send(position, 0, (x << 16) | (y & 0xFFFF), CurrentTime, (long)copy);
  const time_t deadline = time(NULL) + 10;
  int dropped = 0;
  XEvent e;
  while (time(NULL) < deadline) {
    if (!next(&e, 200)) continue;
    if (e.type == SelectionRequest) { /* the target asks for the file's name */
      XSelectionEvent reply;
      memset(&reply, 0, sizeof reply);
      reply.type = SelectionNotify;
      reply.requestor = e.xselectionrequest.requestor;
      reply.selection = e.xselectionrequest.selection;
      reply.target = e.xselectionrequest.target;
      reply.time = e.xselectionrequest.time;
      reply.property = None;
      if (e.xselectionrequest.target == uriList) {
        const Atom property =
            e.xselectionrequest.property != None ? e.xselectionrequest.property : e.xselectionrequest.target;
        XChangeProperty(d, reply.requestor, property, uriList, 8, PropModeReplace, (unsigned char*)uri,
                        (int)strlen(uri));
        reply.property = property;
      }
      XSendEvent(d, reply.requestor, False, NoEventMask, (XEvent*)&reply);
      XFlush(d);
    } else if (e.type == ClientMessage && e.xclient.message_type == status && !dropped) {
      if (!(e.xclient.data.l[1] & 1)) {
        send(leave, 0, 0, 0, 0);
        fprintf(stderr, "xdnd_drop: the window refuses the drop\n");
        return 1;
      }
      send(drop, 0, CurrentTime, 0, 0);
      dropped = 1;
    } else if (e.type == ClientMessage && e.xclient.message_type == finished) {
      if (version >= 5 && !(e.xclient.data.l[1] & 1)) { /* version 5 says whether the drop was taken */
        fprintf(stderr, "xdnd_drop: the window did not take the drop\n");
        return 1;
      }
      return 0;
    }
  }
  fprintf(stderr, "xdnd_drop: no answer from the window (%s)\n", dropped ? "after the drop" : "to the drag");
  return 1;
}
