# Locates the VST 3 SDK sources and defines:
#   vst3sdk_headers  INTERFACE target: SDK root as a SYSTEM include directory
#                    plus the RELEASE/DEVELOPMENT define the SDK headers need.
#   vst3sdk_base     STATIC library built from the SDK's own .cpp files that
#                    are present (compiled with warnings disabled).
#   VST3_SDK_IS_FULL TRUE when the root also holds the audio-effect helper
#                    sources (public.sdk/source/vst/vstaudioeffect.cpp).
#                    Debian's copy (shipped with juce-modules-source-data) is
#                    a reduced one without them.
#
# Platform macros (SMTG_OS_LINUX / SMTG_OS_WINDOWS) are derived by
# pluginterfaces/base/fplatform.h from the compiler's own predefined macros,
# so nothing has to be passed for Linux or mingw.

set(VST3_SDK_ROOT
  "/usr/share/juce/modules/juce_audio_processors/format_types/VST3_SDK"
  CACHE PATH "Root directory of the VST 3 SDK (contains base/, pluginterfaces/, public.sdk/)")

if(NOT EXISTS "${VST3_SDK_ROOT}/pluginterfaces/base/funknown.h")
  message(FATAL_ERROR
    "VST 3 SDK not found: '${VST3_SDK_ROOT}/pluginterfaces/base/funknown.h' does not exist.\n"
    "Install Debian's juce-modules-source-data (scripts/install-deps.sh does that) "
    "or pass -DVST3_SDK_ROOT=/path/to/VST3_SDK, "
    "or configure with -DTARNO_BUILD_PLUGIN=OFF.")
endif()

if(EXISTS "${VST3_SDK_ROOT}/public.sdk/source/vst/vstaudioeffect.cpp")
  set(VST3_SDK_IS_FULL TRUE)
else()
  set(VST3_SDK_IS_FULL FALSE)
endif()
message(STATUS "VST 3 SDK: ${VST3_SDK_ROOT} (full: ${VST3_SDK_IS_FULL})")

add_library(vst3sdk_headers INTERFACE)
target_include_directories(vst3sdk_headers SYSTEM INTERFACE "${VST3_SDK_ROOT}")
# base/source/fdebug.h refuses to compile unless one of these is defined
# (it only falls back on _DEBUG/NDEBUG, and Debug builds define neither).
target_compile_definitions(vst3sdk_headers INTERFACE
  $<IF:$<CONFIG:Debug>,DEVELOPMENT=1,RELEASE=1>)

# Glob at configure time only: these are installed files, not ours.
file(GLOB _vst3_sdk_sources
  "${VST3_SDK_ROOT}/base/source/*.cpp"
  "${VST3_SDK_ROOT}/pluginterfaces/base/*.cpp"
  "${VST3_SDK_ROOT}/public.sdk/source/common/*.cpp"
  "${VST3_SDK_ROOT}/public.sdk/source/vst/*.cpp")
if(EXISTS "${VST3_SDK_ROOT}/base/thread/source/flock.cpp")
  list(APPEND _vst3_sdk_sources "${VST3_SDK_ROOT}/base/thread/source/flock.cpp")
endif()
list(SORT _vst3_sdk_sources)

add_library(vst3sdk_base STATIC ${_vst3_sdk_sources})
target_link_libraries(vst3sdk_base PUBLIC vst3sdk_headers)
# Third-party code: keep its warnings out of our build log.
target_compile_options(vst3sdk_base PRIVATE -w)
if(WIN32)
  # pluginterfaces/base/funknown.cpp creates GUIDs with CoCreateGuid.
  target_link_libraries(vst3sdk_base PUBLIC ole32)
endif()
# Linking the whole library leaves one symbol undefined on both platforms:
# Steinberg::IPlugView::iid (used by public.sdk/source/common/pluginview.cpp).
# The SDK expects the plug-in itself to define it, with
# DEF_CLASS_IID (IPlugView) in one of its own source files.
unset(_vst3_sdk_sources)
