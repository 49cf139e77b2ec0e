// The floor of bench/key_latency.sh: a bare X client with one window whose
// only work on each key press is a durable replace of the report (write a
// temporary file, fsync it, rename it, fsync the folder), with plain system
// calls. Timed by the same script as the program, it shows what the X
// server, the key's delivery and the disk cost before any toolkit or
// program code runs.
//
//   key_floor REPORT    (the report's size is kept; its bytes become 'Q')
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

bool ReplaceDurably(const std::string& path, const std::vector<char>& bytes) {
  std::string temporary = path + ".tmpXXXXXX";
  const int file = mkostemp(temporary.data(), O_CLOEXEC);
  if (file < 0) return false;
  const bool written = write(file, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  const bool flushed = fsync(file) == 0;
  close(file);
  if (!written || !flushed || rename(temporary.c_str(), path.c_str()) != 0) {
    unlink(temporary.c_str());
    return false;
  }
  const auto slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const int directory = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (directory >= 0) {
    fsync(directory);
    close(directory);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: key_floor REPORT\n");
    return 2;
  }
  const std::string report = argv[1];
  struct stat info {};
  if (stat(report.c_str(), &info) != 0) {
    std::fprintf(stderr, "key_floor: no report %s\n", argv[1]);
    return 1;
  }
  const std::vector<char> bytes(static_cast<std::size_t>(info.st_size), 'Q');
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(connection)) {
    std::fprintf(stderr, "key_floor: no display\n");
    return 1;
  }
  xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
  const xcb_window_t window = xcb_generate_id(connection);
  const uint32_t values[] = {screen->white_pixel,
                             XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE};
  xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 100, 100, 400, 300, 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                    XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
  xcb_map_window(connection, window);
  xcb_flush(connection);
  usleep(200000);  // mapped before it takes the focus
  xcb_set_input_focus(connection, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
  xcb_flush(connection);
  if (!ReplaceDurably(report, bytes)) return 1;
  while (xcb_generic_event_t* event = xcb_wait_for_event(connection)) {
    const bool press = (event->response_type & 0x7F) == XCB_KEY_PRESS;
    std::free(event);
    if (press && !ReplaceDurably(report, bytes)) return 1;
  }
  xcb_disconnect(connection);
  return 0;
}
