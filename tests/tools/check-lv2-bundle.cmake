# The bundle as LV2's own tools see it: lv2_validate and sord_validate find no error in its
# Turtle files (against the LV2 schemas installed with lv2-dev), and lv2info, through lilv,
# shows the plugin with its audio, MIDI, latency and control ports named from the panel.
# The module needs nothing the program alone uses (JACK, RtAudio, RtMidi, Qt): a host loads
# it without them.
# cmake -DBUNDLE=<build>/lv2/quorvel.lv2 -DOBJDUMP=objdump -P check-lv2-bundle.cmake

execute_process(COMMAND ${OBJDUMP} -p ${BUNDLE}/quorvel.so OUTPUT_VARIABLE headers RESULT_VARIABLE rc)
string(REGEX MATCHALL "NEEDED +[^\n]+" needed "${headers}")
if(NOT rc EQUAL 0 OR NOT needed MATCHES "libc\\.so")
  message(FATAL_ERROR "objdump cannot read the module:\n${headers}")
endif()
if(needed MATCHES "jack|rtaudio|rtmidi|Qt")
  message(FATAL_ERROR "the module needs a library of the program's: ${needed}")
endif()

file(GLOB turtle ${BUNDLE}/*.ttl)
execute_process(COMMAND lv2_validate ${turtle} OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT "${out}${err}" MATCHES "Found 0 errors")
  message(FATAL_ERROR "lv2_validate:\n${out}${err}")
endif()

file(GLOB_RECURSE schemas /usr/lib/lv2/*.ttl)
list(FILTER schemas EXCLUDE REGEX "\\.doap\\.ttl$")
execute_process(COMMAND sord_validate ${schemas} ${turtle} OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT "${out}${err}" MATCHES "Found 0 errors")
  message(FATAL_ERROR "sord_validate:\n${out}${err}")
endif()

get_filename_component(path ${BUNDLE} DIRECTORY)
set(ENV{LV2_PATH} ${path})
execute_process(COMMAND lv2info urn:quorvel:vocoder OUTPUT_VARIABLE info ERROR_VARIABLE err RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "lv2info:\n${info}${err}")
endif()
foreach(expected
    "Name: +QUORVEL" "Has latency: +yes, reported by port 5" "Extension Data: +http://lv2plug.in/ns/ext/state#interface"
    "Symbol: +in_left" "Symbol: +in_right" "Symbol: +out_left" "Symbol: +out_right" "Symbol: +midi_in"
    "Name: +Carrier Gain" "Name: +Channel Slider 1\n" "Name: +Channel Slider 18" "Name: +Wide Filter Button"
    "Name: +External Carrier Button" "Name: +Warp Button" "Name: +Preset 3 Button" "Symbol: +minus2_shift_button"
    "Symbol: +air\n" "port-props#trigger" "lv2core#toggled" "lv2core#isSideChain")
  if(NOT info MATCHES "${expected}")
    message(FATAL_ERROR "lv2info does not show \"${expected}\":\n${info}")
  endif()
endforeach()
# The buttons a host does for itself have no port.
foreach(absent "REC Button" "Load Button" "Save Settings Button" "Audio Settings Button" "HELP Button")
  if(info MATCHES "Name: +${absent}")
    message(FATAL_ERROR "lv2info shows a port \"${absent}\"")
  endif()
endforeach()
