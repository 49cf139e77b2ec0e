# Makes the working corpus of one fuzz target: a fresh copy of its seeds
# under WORK/corpus-runs/FUZZ_TARGET, plus the seeds with huge lines, which are made here
# instead of being kept in the repository, and an empty folder for crashes.
#   cmake -DTARGET=report -DSOURCE=<fuzz folder> -DWORK=<build folder> -P prepare_corpus.cmake
foreach(var FUZZ_TARGET SOURCE WORK)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "prepare_corpus.cmake needs -D${var}=...")
  endif()
endforeach()

set(corpus "${WORK}/corpus-runs/${FUZZ_TARGET}")
file(REMOVE_RECURSE "${corpus}")
file(MAKE_DIRECTORY "${corpus}" "${WORK}/artefacts")
file(GLOB seeds "${SOURCE}/corpus/${FUZZ_TARGET}/*")
if(seeds)
  file(COPY ${seeds} DESTINATION "${corpus}")
endif()

# One line longer than the report reader keeps (64 KiB), and longer than any
# number of read buffers (4 KiB each) in a round count.
string(REPEAT "A" 70000 long)
string(REPEAT "0123456789abcdef" 8192 buffers)
if(FUZZ_TARGET STREQUAL "report")
  file(WRITE "${corpus}/huge-lines.cbr"
       "START-OF-LOG: 3.0\r\nCONTEST: ${long}\r\nSOAPBOX: ${buffers}\r\n"
       "QSO: 14200 CW 2010-03-07 0905 RK3ABC        599001     UA3AAA        599017     ${long}\r\n"
       "QSO: 7000  PH 2010-03-07 0910 RK3ABC        599002     UA3BBB        59\r\n"
       "END-OF-LOG: \r\n")
elseif(FUZZ_TARGET STREQUAL "textfile")
  file(WRITE "${corpus}/huge-lf.txt" "${long}\n${buffers}\nlast")
  file(WRITE "${corpus}/huge-cr.txt" "${buffers}\r${long}\r\n\r")
elseif(FUZZ_TARGET STREQUAL "keyvalue" OR FUZZ_TARGET STREQUAL "settings")
  file(WRITE "${corpus}/huge-value.ini" "[Main]\r\nFile = ${long}\r\nTimeMin = 30\r\n")
endif()
