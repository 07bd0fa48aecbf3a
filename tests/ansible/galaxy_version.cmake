# Fails when the collection's galaxy.yml names another release than the project's: the collection
# has to stay a whole collection in the source tree (ansible-galaxy builds it and ansible-test
# checks it from there), so its version is written there, and this holds it to the project's.
#   cmake -DPROJECT_VERSION=1.11 -DGALAXY=.../galaxy.yml -P galaxy_version.cmake
# A collection's version has three parts; the project's third, when it has none, is 0.
string(REGEX MATCHALL "[0-9]+" parts "${PROJECT_VERSION}")
list(LENGTH parts count)
while(count LESS 3)
    list(APPEND parts 0)
    math(EXPR count "${count} + 1")
endwhile()
list(SUBLIST parts 0 3 parts)
list(JOIN parts "." expected)

file(STRINGS "${GALAXY}" lines REGEX "^version:")
list(LENGTH lines found)
if(NOT found EQUAL 1)
    message(FATAL_ERROR "${GALAXY}: ${found} top-level version lines instead of one")
endif()
string(REGEX REPLACE "^version:[ \t]*['\"]?([^'\" \t#]*).*$" "\\1" version "${lines}")
if(NOT version STREQUAL expected)
    message(FATAL_ERROR "${GALAXY} names version ${version}; the project is ${PROJECT_VERSION}, "
                        "so the collection is ${expected}")
endif()
message(STATUS "galaxy.yml: version ${version}, the project's")
