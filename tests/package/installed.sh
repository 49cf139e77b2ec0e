# What the package test and the install test check on an installed program,
# sourced after ../xvfb/lib.sh; not a test itself.

# check_started_from_menu: the program started as the menu entry starts it
# ($CORVANE is the launcher the entry names), with an empty home folder: the
# main window with the program's icon, the help window with the picture of
# the share folder ($PICTURE), "Выход", and corvane.ini in ~/Corvane only.
check_started_from_menu() {
  local HOME_DIR="$WORK/home" HELP
  [ -f "$PICTURE" ] || fail "no help picture installed at $PICTURE"
  mkdir -p "$HOME_DIR"
  start_program HOME="$HOME_DIR"
  if ! wait_main_window; then
    fail "the installed program opened no window"
    cat "$WORK/corvane.log"
  else
    pass "the menu's launcher opened the main window"
    check_window_icon "$WINDOW" "main window"
    xhelper wait-green "$((WIN_X + 233))" "$((WIN_Y + 25))" "$((WIN_Y + 90))" "$START_NS" 10000 >/dev/null
    shot start
    measure_menu_bar start
    open_menu Left # "Помощь"
    sleep 0.3
    xdotool key Return # "Вызов справки"
    HELP=$(find_window '^Справка$' 10)
    if [ -z "$HELP" ]; then
      fail "the help window did not open"
    else
      sleep 0.3
      shot help
      check_help_window "$HELP" help "$PICTURE"
      xdotool key Escape
      window_gone '^Справка$' 5 || fail "Escape did not close the help window"
    fi
    open_menu Up Return # "Выход"; nothing was typed, so nothing is asked
    wait_exit "Выход"
  fi
  if [ -f "$HOME_DIR/Corvane/corvane.ini" ]; then
    pass "the launcher made ~/Corvane and the program keeps corvane.ini there"
  else
    fail "no corvane.ini in ~/Corvane (home: $(ls -A "$HOME_DIR" | tr '\n' ' '))"
  fi
  if [ -e "$HOME_DIR/corvane.ini" ] || [ -e "$WORK/run/corvane.ini" ]; then
    fail "corvane.ini was written outside ~/Corvane"
  else
    pass "nothing written in the home folder itself or the folder the launcher was started in"
  fi
}

# check_installed_files <prefix> <listing>: every file a contester needs is
# in the listing (one path a line, as <prefix>/...).
check_installed_files() {
  local prefix=$1 listing=$2 file
  for file in bin/corvane bin/corvane-start share/corvane/CORVANE.BMP \
    share/applications/corvane.desktop share/man/man1/corvane.1.gz \
    share/icons/hicolor/{16x16,32x32,48x48,64x64,128x128,256x256}/apps/corvane.png; do
    if grep -qx "$prefix/$file" <<<"$listing"; then
      pass "holds $prefix/$file"
    else
      fail "$prefix/$file is not installed"
    fi
  done
}

# check_menu_entry <desktop file>: a valid entry, when the validator is there.
check_menu_entry() {
  command -v desktop-file-validate >/dev/null 2>&1 || return 0
  if desktop-file-validate "$1"; then
    pass "the menu entry is a valid desktop entry"
  else
    fail "desktop-file-validate $1"
  fi
}
