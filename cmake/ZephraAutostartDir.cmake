# zephra_autostart_dir(<out-var> <prefix>)
# Where the autostart entry goes for an install into <prefix>. Desktops start the entries of
# $XDG_CONFIG_DIRS/autostart (by default /etc/xdg/autostart) at login; /usr/local/etc/xdg is not
# among the default places, so both system prefixes use /etc/xdg.
function(zephra_autostart_dir out prefix)
  if(prefix MATCHES "^/usr(/local)?/?$")
    set(${out} /etc/xdg/autostart PARENT_SCOPE)
  else()
    set(${out} "${prefix}/etc/xdg/autostart" PARENT_SCOPE)
  endif()
endfunction()
