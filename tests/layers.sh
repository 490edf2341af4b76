#!/bin/sh
# Fails when a source file includes a header from a layer that is not below its
# own (base < launch < server < web, update < shell), when a layer below the web
# view names GTK or WebKit, or when a display-free half (web/rules, shell/model)
# includes either.
cd "$(dirname "$0")/../src" || exit 2
rank() { case $1 in base) echo 0 ;; launch) echo 1 ;; server) echo 2 ;; web|update) echo 3 ;; *) echo 4 ;; esac; }
status=0
for file in $(find . -type f | sed 's|^\./||'); do
  for used in $(sed -n 's|^#include "\([a-z]*\)/.*|\1|p' "$file" | sort -u); do
    [ "$used" != "${file%%/*}" ] && [ "$(rank "$used")" -ge "$(rank "${file%%/*}")" ] &&
      echo "$file includes from $used/, which is not below ${file%%/*}/" && status=1
  done
done
grep -rnE 'gtk/|webkit/|Gtk[A-Z]|WebKit[A-Z]|GDK_|GTK_|WEBKIT_' base launch server update &&
  echo "the lines above name GTK or WebKit below the web view" && status=1
grep -rnE '#include [<"](gtk|gdk|webkit2|web/[a-z_]+\.h|shell/[a-z_]+\.h)' web/rules shell/model &&
  echo "the lines above bring the display into a display-free half" && status=1
exit $status
