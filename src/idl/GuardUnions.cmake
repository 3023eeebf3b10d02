# Post-processes an omniidl stub file (cmake -DFILE=<xxxSK.cc> -P GuardUnions.cmake).
# omniORB's generated union marshalling writes whatever discriminator an unset union
# happens to hold. The contract requires that encoding a union that was never given a
# branch raises CORBA::BAD_PARAM and sends nothing, so each union's operator>>= gets a
# guard on the _pd__initialised flag the generated class already keeps.
cmake_minimum_required(VERSION 3.25)
if(NOT FILE)
  message(FATAL_ERROR "GuardUnions.cmake: FILE not set")
endif()
file(READ "${FILE}" text)

set(head "::operator>>= \\(cdrStream& _n\\) const\n{\n")
set(guard "  if (!_pd__initialised)\n    OMNIORB_THROW(BAD_PARAM, _OMNI_NS(BAD_PARAM_InvalidUnionDiscValue), ::CORBA::COMPLETED_NO);\n")
string(REGEX REPLACE
  "(${head})(  _n\\.marshalBoolean\\(_pd__d\\);|  _pd__d >>= _n;)"
  "\\1${guard}\\2"
  text "${text}")

# Decoding a branch held by pointer allocates it before reading it; if the input
# ends inside the branch, the union must already own it or the allocation leaks
# (hostile or truncated replies). Mark it set as soon as it is allocated.
string(REGEX REPLACE
  "(\n      _pd_[A-Za-z0-9_]+ = new [A-Za-z0-9_:]+;\n)(      \\(\\*_pd_)"
  "\\1      _pd__initialised = 1;\n\\2"
  text "${text}")

# Every discriminator write must now sit right behind a guard; anything else means
# the generator's output changed shape and the guard silently went missing.
# (Semicolons would split the matches into list items: count on a copy without them.)
string(REPLACE ";" "" plain "${text}")
string(REGEX MATCHALL "marshalBoolean\\(_pd__d\\)|_pd__d >>= _n" writes "${plain}")
string(REGEX MATCHALL "COMPLETED_NO\\)\n  (_n\\.marshalBoolean\\(_pd__d\\)|_pd__d >>= _n)" guarded "${plain}")
list(LENGTH writes n_writes)
list(LENGTH guarded n_guarded)
if(NOT n_writes EQUAL n_guarded)
  message(FATAL_ERROR "GuardUnions.cmake: ${FILE}: ${n_guarded} of ${n_writes} union encoders guarded")
endif()
file(WRITE "${FILE}" "${text}")
