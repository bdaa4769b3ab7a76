#!/bin/sh
# with-locale.sh LOCALE COMMAND...: runs COMMAND with LC_ALL and LANG set to LOCALE, and fails
# if the system has no such locale (glibc would fall back to C without a word, and the run
# would prove nothing).
locale=$1
shift
case "$locale" in
C | POSIX) ;;
*)
    want=$(printf '%s' "$locale" | tr '[:upper:]' '[:lower:]' | sed 's/utf-8/utf8/')
    if ! locale -a 2>/dev/null | tr '[:upper:]' '[:lower:]' | sed 's/utf-8/utf8/' | grep -qx "$want"; then
        echo "with-locale: the locale $locale is not generated here (scripts/setup-debian.sh test makes it)" >&2
        exit 1
    fi
    ;;
esac
LC_ALL=$locale LANG=$locale exec "$@"
