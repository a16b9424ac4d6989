# cmake -DFILES="a.cpp;b.h" -P CheckQtFree.cmake: fails when one of the files includes a Qt
# header (<QString>, <QtCore/QString>, "QObject" and the like).
set(found "")
foreach(file IN LISTS FILES)
    file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](Q[A-Za-z0-9_]*|Qt[A-Za-z0-9_]*/[^>\"]*)[>\"]")
    foreach(line IN LISTS lines)
        string(APPEND found "  ${file}: ${line}\n")
    endforeach()
endforeach()
if(found)
    message(FATAL_ERROR "Qt-free code includes Qt:\n${found}")
endif()
