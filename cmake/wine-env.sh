# Wine settings of the Windows build, sourced by cmake/run-with-wine.sh (every
# program and test of the windows preset, and GoogleTest's test listing): a
# prefix of its own in the build folder, no debug channels, and no offer to
# install Mono or Gecko when a prefix is made. KVEL_SOURCE_DIR is the source
# tree's top folder. KVEL_WINEPREFIX names another prefix (the MSI test
# installs into one of its own).
WINEPREFIX=${KVEL_WINEPREFIX:-$KVEL_SOURCE_DIR/build/windows/wineprefix}
WINEDEBUG=-all
WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
