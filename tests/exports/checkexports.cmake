# Checks the dynamic symbol table of the shared library: what hosts use is
# there, internals are not (the library is built with hidden visibility).
execute_process(COMMAND nm -D --defined-only -C ${LIBRARY}
    OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()

set(required
    "GetTestObject"
    "ITwitter_core::loginResult("
    "Twitter_core::Twitter_core("
    "Twitter_core::getErrorText() const"
    "SNAppCoreObject::registerWizardPage("
    "TwitterCoreObject::TwitterCoreObject("
    "TwitterCoreObject::getUserErrorMsg() const"
    "TwitterCoreObject::registerForInfoRequest("
    "ContentTypeAggregator::onReady(")
foreach(name IN LISTS required)
    string(FIND "${symbols}" " ${name}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "not exported: ${name}")
    endif()
endforeach()

set(internal
    "Signature::"
    "HttpTransport::"
    "UrlShortener::"
    "hmacSha1"
    "setGuardedContent"
    "xmlGuardRefusal"
    "KeyValueRecord::"
    "LimitStatus::")
foreach(name IN LISTS internal)
    string(FIND "${symbols}" " ${name}" at)
    if(NOT at EQUAL -1)
        message(FATAL_ERROR "exported but internal: ${name}")
    endif()
endforeach()
message("exports as expected")
