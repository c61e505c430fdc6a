# Makes the Debian package with cpack and checks what it holds and what it asks for.
set(out "${BUILD}/package-check")
file(REMOVE_RECURSE "${out}")
execute_process(COMMAND cpack -G DEB -B "${out}" WORKING_DIRECTORY "${BUILD}"
                OUTPUT_VARIABLE log ERROR_VARIABLE log RESULT_VARIABLE failed)
file(GLOB debs "${out}/*.deb")
list(LENGTH debs count)
if(failed OR NOT count EQUAL 1)
  message(FATAL_ERROR "cpack -G DEB made no package:\n${log}")
endif()
execute_process(COMMAND dpkg-deb -c ${debs} OUTPUT_VARIABLE contents RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "dpkg-deb -c failed on ${debs}")
endif()
foreach(file usr/bin/quorvel usr/bin/quorvel-render usr/share/doc/quorvel/manual/index.html
             usr/share/applications/quorvel.desktop usr/share/metainfo/org.quorvel.Quorvel.metainfo.xml
             usr/share/icons/hicolor/16x16/apps/quorvel.png usr/share/icons/hicolor/512x512/apps/quorvel.png
             usr/lib/lv2/quorvel.lv2/manifest.ttl usr/lib/lv2/quorvel.lv2/quorvel.ttl usr/lib/lv2/quorvel.lv2/quorvel.so)
  string(FIND "${contents}" "./${file}\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "not in the package: ${file}\n${contents}")
  endif()
endforeach()
# Nothing of the build (tests, benchmarks, static libraries, headers) goes with it.
if(contents MATCHES "(_tests|quorvel-bench|\\.a\n|\\.h\n)")
  message(FATAL_ERROR "the package holds more than the program: ${CMAKE_MATCH_1}\n${contents}")
endif()
execute_process(COMMAND dpkg-deb -f ${debs} Package Depends OUTPUT_VARIABLE fields RESULT_VARIABLE failed)
# The libraries the programs and the plugin load, as dpkg-shlibdeps names their packages.
foreach(dependency libc6 libstdc\\+\\+6 libqt6widgets6 libjack libsamplerate0 librtaudio librtmidi liblo)
  if(NOT fields MATCHES "Depends:.*${dependency}")
    message(FATAL_ERROR "the package does not depend on ${dependency}:\n${fields}")
  endif()
endforeach()
file(REMOVE_RECURSE "${out}")
