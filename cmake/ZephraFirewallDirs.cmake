# zephra_firewall_dirs(<firewalld-out> <ufw-out> <prefix>)
# Where the firewalld service and the ufw application profile go for an install into <prefix>.
# firewalld reads packages' services from /usr/lib/firewalld/services and the administrator's
# from /etc/firewalld/services; ufw reads /etc/ufw/applications.d. Other prefixes (a staging
# folder, a private tree) keep both below the prefix.
function(zephra_firewall_dirs firewalld ufw prefix)
  if(prefix MATCHES "^/usr/?$")
    set(${firewalld} /usr/lib/firewalld/services PARENT_SCOPE)
    set(${ufw} /etc/ufw/applications.d PARENT_SCOPE)
  elseif(prefix MATCHES "^/usr/local/?$")
    set(${firewalld} /etc/firewalld/services PARENT_SCOPE)
    set(${ufw} /etc/ufw/applications.d PARENT_SCOPE)
  else()
    set(${firewalld} "${prefix}/lib/firewalld/services" PARENT_SCOPE)
    set(${ufw} "${prefix}/etc/ufw/applications.d" PARENT_SCOPE)
  endif()
endfunction()
