# Sources that cannot share a unity-build unit with their neighbours (file-local names that would clash)
# are compiled on their own. They are named by target and file name, so a file keeps its exception when it
# moves to another folder. Only read when CORVANE_UNITY is on.
if(NOT CORVANE_UNITY)
    return()
endif()

# corvane_unity_alone(<target> <file name>...)
function(corvane_unity_alone target)
    if(NOT TARGET ${target})
        return()
    endif()
    get_target_property(sources ${target} SOURCES)
    get_target_property(source_dir ${target} SOURCE_DIR)
    set(found "")
    foreach(source IN LISTS sources)
        get_filename_component(file_name "${source}" NAME)
        if(file_name IN_LIST ARGN)
            if(NOT IS_ABSOLUTE "${source}")
                set(source "${source_dir}/${source}")
            endif()
            set_source_files_properties("${source}" TARGET_DIRECTORY ${target}
                PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
            list(APPEND found ${file_name})
        endif()
    endforeach()
    # The TSan build leaves most test files out of its executables.
    if(CORVANE_TSAN)
        return()
    endif()
    foreach(file_name IN LISTS ARGN)
        if(NOT file_name IN_LIST found)
            message(AUTHOR_WARNING "corvane_unity_alone: ${target} has no source ${file_name}")
        endif()
    endforeach()
endfunction()

# X11's macros (Status, None, Bool) would rename the program's own names in the files compiled after it.
corvane_unity_alone(corvane_lib ui_fltk.cpp)
# File-local helpers named like a neighbour's: failure and AddrInfoFree, Version, clearErrorText, holds,
# equalNoCase, equalsNoCase (its two spellings differ in their case rule); in the tests boolText, apply (which
# also meets std::apply), namesOf, onPorts, sendingTo, kGround, text and takeResults, eventually, contains,
# and the colours and control ids of the window tests.
corvane_unity_alone(corvane_platform tcp_connect.cpp)
corvane_unity_alone(corvane_core xml_meta.cpp)
corvane_unity_alone(corvane_lib closing_down.cpp dispatch.cpp livery_scan.cpp)
corvane_unity_alone(simstandin_lib session_requests.cpp)
corvane_unity_alone(corvane_test_support parameters_files.cpp scoped_env.cpp)
corvane_unity_alone(tests_settings parameters_conversion_test.cpp)
corvane_unity_alone(tests_tools_rtfeed auto_traffic_test.cpp)
corvane_unity_alone(tests_realtraffic qnh_test.cpp)
corvane_unity_alone(tests_sim ai_objects_test.cpp)
corvane_unity_alone(tests_app main_loop_threads_test.cpp seconds_schedule_test.cpp)
corvane_unity_alone(tests_app_window headless_window_test.cpp ui_queues_threads_test.cpp status_display_test.cpp)
