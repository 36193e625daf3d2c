# Checks what a built plug-in binary shows the world: exactly the entry points VSTPluginMain and
# main, and, for a Windows DLL, imports from system DLLs only, so that a host can load it from
# any folder with nothing installed beside it.
#
#   cmake -DBINARY=<file> -DFORMAT=pe  -DTOOL=<target objdump> -P CheckExports.cmake
#   cmake -DBINARY=<file> -DFORMAT=elf -DTOOL=<nm>             -P CheckExports.cmake

set(expected_exports VSTPluginMain main)

# DLLs that every Windows installation has. Anything else would have to ship with the plug-in.
set(system_dlls
  kernel32 user32 gdi32 comdlg32 shell32 wininet msvcrt advapi32 ole32 oleaut32 comctl32 shlwapi
  winmm version msimg32 uxtheme dwmapi ws2_32 ntdll ucrtbase imm32 winspool.drv)

foreach(var BINARY FORMAT TOOL)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "CheckExports.cmake needs -D${var}=...")
  endif()
endforeach()
if(NOT EXISTS "${BINARY}")
  message(FATAL_ERROR "no such binary: ${BINARY}")
endif()

function(lines_of text out)
  string(REPLACE ";" "\\;" text "${text}")
  string(REPLACE "\n" ";" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

set(problems "")

if(FORMAT STREQUAL "pe")
  execute_process(COMMAND "${TOOL}" -p "${BINARY}" OUTPUT_VARIABLE dump RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${TOOL} -p ${BINARY} failed (${status})")
  endif()
  lines_of("${dump}" lines)

  set(exports "")
  set(imports "")
  set(in_name_table FALSE)
  foreach(line IN LISTS lines)
    if(line MATCHES "DLL Name: (.+)$")
      string(STRIP "${CMAKE_MATCH_1}" dll)
      list(APPEND imports "${dll}")
    elseif(line MATCHES "\\[Ordinal/Name Pointer\\] Table")
      set(in_name_table TRUE)
    elseif(in_name_table)
      if(line MATCHES "^[ \t]*\\[ *[0-9]+\\] +([^ \t]+)[ \t]*$")
        list(APPEND exports "${CMAKE_MATCH_1}")
      elseif(line MATCHES "^[ \t]*$")
        set(in_name_table FALSE)
      endif()
    endif()
  endforeach()

  foreach(dll IN LISTS imports)
    string(TOLOWER "${dll}" name)
    string(REGEX REPLACE "\\.dll$" "" name "${name}")
    if(name MATCHES "^api-ms-win-")
      continue()  # the Universal CRT's API sets are part of Windows
    endif()
    list(FIND system_dlls "${name}" found)
    if(found EQUAL -1)
      if(name MATCHES "^lib(stdc\\+\\+|gcc|winpthread|png)|zlib|^libz")
        string(APPEND problems "  imports ${dll}: a runtime or library that must be linked statically\n")
      else()
        string(APPEND problems "  imports ${dll}, which is not a system DLL\n")
      endif()
    endif()
  endforeach()

  # Windows shows what the file is from its version resource; its strings are UTF-16LE.
  file(READ "${BINARY}" contents HEX)
  foreach(text "CompanyName" "Tarnbek" "ProductName" "Free Wayfarer-Phase Modifier" "ProductVersion" "1.2.0")
    set(pattern "")
    string(LENGTH "${text}" length)
    math(EXPR last "${length} - 1")
    foreach(i RANGE ${last})
      string(SUBSTRING "${text}" ${i} 1 char)
      string(HEX "${char}" code)
      string(APPEND pattern "${code}00")
    endforeach()
    string(FIND "${contents}" "${pattern}" at)
    if(at EQUAL -1)
      string(APPEND problems "  has no version resource string \"${text}\"\n")
    endif()
  endforeach()

elseif(FORMAT STREQUAL "elf")
  execute_process(COMMAND "${TOOL}" -D --defined-only "${BINARY}" OUTPUT_VARIABLE dump RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${TOOL} -D --defined-only ${BINARY} failed (${status})")
  endif()
  lines_of("${dump}" lines)

  # Symbols the linker defines in every shared object; they are not ours.
  set(linker_symbols _init _fini __bss_start _edata _end __end__ __bss_start__ __bss_end__ _bss_end__)
  set(exports "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^[0-9a-fA-F]* *([A-Za-z]) ([^ ]+)$")
      set(type "${CMAKE_MATCH_1}")
      string(REGEX REPLACE "@.*$" "" symbol "${CMAKE_MATCH_2}")
      if(type STREQUAL "A")
        continue()  # version node names, not symbols
      endif()
      list(FIND linker_symbols "${symbol}" standard)
      if(standard EQUAL -1)
        list(APPEND exports "${symbol}")
      endif()
    endif()
  endforeach()

else()
  message(FATAL_ERROR "FORMAT must be pe or elf, not '${FORMAT}'")
endif()

list(SORT exports)
list(REMOVE_DUPLICATES exports)
set(wanted ${expected_exports})
list(SORT wanted)
if(NOT exports STREQUAL wanted)
  string(REPLACE ";" ", " shown "${exports}")
  string(APPEND problems "  exports [${shown}] instead of exactly [VSTPluginMain, main]\n")
endif()

if(problems)
  message(FATAL_ERROR "${BINARY}:\n${problems}")
endif()
string(REPLACE ";" ", " shown "${exports}")
if(FORMAT STREQUAL "pe")
  string(REPLACE ";" ", " shown_imports "${imports}")
  message(STATUS "${BINARY}: exports ${shown}; imports ${shown_imports}")
else()
  message(STATUS "${BINARY}: exports ${shown}")
endif()
