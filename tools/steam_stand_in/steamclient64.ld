/* Places the stand-in library's operation stubs (.pinA, .pinB in steamclient64.cpp) at the
   pinned distances from the image base: each is preceded by an uninitialised filler section that
   ends exactly where its stubs must begin, so the image has no gaps and the file no padding. */
SECTIONS
{
  .fillA BLOCK(__section_alignment__) :
  {
    fillA_start = ABSOLUTE(.);
    *(.fillA)
    . += __image_base__ + 0x842000 - fillA_start;
  }
  .pinA BLOCK(__section_alignment__) : { *(.pinA) }
  .fillB BLOCK(__section_alignment__) :
  {
    fillB_start = ABSOLUTE(.);
    *(.fillB)
    . += __image_base__ + 0x96F000 - fillB_start;
  }
  .pinB BLOCK(__section_alignment__) : { *(.pinB) }
}
INSERT AFTER .reloc;
