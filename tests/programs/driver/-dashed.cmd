--
@FILE
