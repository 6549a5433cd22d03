! The solubility of CO2 in water at 25 C and 10 MPa, and a point that fails, through co2model's
! C interface (co2model.h) by ISO_C_BINDING.
module co2model
    use, intrinsic :: iso_c_binding
    implicit none

    integer(c_int), parameter :: co2_exact = 1

    ! Field for field as struct co2_point; bind(c) gives it the C compiler's layout and padding.
    type, bind(c) :: co2_point
        real(c_double) :: t_celsius, p_mpa
        integer(c_int) :: curve
        real(c_double) :: molality
        real(c_double) :: na, k, ca, mg, cl, so4
        integer(c_int) :: salt_model
        integer(c_int) :: solubility_model
    end type

    interface
        integer(c_int) function co2_quantity_count() bind(c)
            import :: c_int
        end function
        integer(c_int) function co2_quantity_index(name) bind(c)
            import :: c_int, c_char
            character(kind=c_char), intent(in) :: name(*)
        end function
        type(c_ptr) function co2_quantity_unit(i) bind(c)
            import :: c_int, c_ptr
            integer(c_int), value :: i
        end function
        ! The unsigned options and flags travel as c_int: the bits used fit in its positive range.
        integer(c_int) function co2_run(point, options, values, flags, error, error_size) bind(c)
            import :: co2_point, c_int, c_double, c_char, c_size_t
            type(co2_point), intent(in) :: point
            integer(c_int), value :: options
            real(c_double), intent(out) :: values(*)
            integer(c_int), intent(out) :: flags
            character(kind=c_char), intent(out) :: error(*)
            integer(c_size_t), value :: error_size
        end function
        integer(c_int) function co2_evaluate(t_celsius, p_mpa, molality, values, flags, error, &
                                             error_size) bind(c)
            import :: c_int, c_double, c_char, c_size_t
            real(c_double), value :: t_celsius, p_mpa, molality
            real(c_double), intent(out) :: values(*)
            integer(c_int), intent(out) :: flags
            character(kind=c_char), intent(out) :: error(*)
            integer(c_size_t), value :: error_size
        end function
        integer(c_int) function co2_evaluate_curve(option, t_celsius, molality, values, flags, &
                                                   error, error_size) bind(c)
            import :: c_int, c_double, c_char, c_size_t
            integer(c_int), value :: option
            real(c_double), value :: t_celsius, molality
            real(c_double), intent(out) :: values(*)
            integer(c_int), intent(out) :: flags
            character(kind=c_char), intent(out) :: error(*)
            integer(c_size_t), value :: error_size
        end function
    end interface

contains

    ! A C string (pointer or terminated buffer) as a Fortran one.
    function from_c(chars) result(text)
        character(kind=c_char), intent(in) :: chars(:)
        character(len=:), allocatable :: text
        integer :: n
        n = 0
        do while (n < size(chars))
            if (chars(n + 1) == c_null_char) exit
            n = n + 1
        end do
        allocate (character(len=n) :: text)
        text = transfer(chars(1:n), text)
    end function

    function from_c_ptr(ptr) result(text)
        type(c_ptr), intent(in) :: ptr
        character(len=:), allocatable :: text
        character(kind=c_char), pointer :: chars(:)
        interface
            integer(c_size_t) function strlen(s) bind(c)
                import :: c_ptr, c_size_t
                type(c_ptr), value :: s
            end function
        end interface
        if (.not. c_associated(ptr)) then
            text = ''
            return
        end if
        call c_f_pointer(ptr, chars, [strlen(ptr)])
        text = from_c(chars)
    end function
end module

program example_fortran
    use co2model
    use, intrinsic :: ieee_arithmetic, only: ieee_value, ieee_quiet_nan
    implicit none
    real(c_double), allocatable :: values(:)
    character(kind=c_char) :: message(200)
    integer(c_int) :: sol_m, flags, code
    real(c_double) :: at_solubility
    type(co2_point) :: point

    allocate (values(co2_quantity_count()))
    ! C numbers the quantities from 0.
    sol_m = co2_quantity_index('sol_m'//c_null_char) + 1
    if (sol_m < 1) error stop 'no quantity sol_m'
    at_solubility = ieee_value(at_solubility, ieee_quiet_nan)

    ! Pure water at a given pressure: no curve, no salt.
    point = co2_point(t_celsius=25, p_mpa=10, curve=0, molality=at_solubility, na=0, k=0, ca=0, mg=0, &
                      cl=0, so4=0, salt_model=0, solubility_model=0)
    code = co2_run(point, co2_exact, values, flags, message, size(message, kind=c_size_t))
    if (code /= 0) error stop from_c(message)
    print '(a, g0, 1x, a)', 'exact sol_m ', values(sol_m), from_c_ptr(co2_quantity_unit(sol_m - 1))
    code = co2_evaluate(25.0_c_double, 10.0_c_double, at_solubility, values, flags, message, &
                        size(message, kind=c_size_t))
    if (code /= 0) error stop from_c(message)
    print '(a, g0, 1x, a)', 'fast sol_m ', values(sol_m), from_c_ptr(co2_quantity_unit(sol_m - 1))

    ! Below the water saturation pressure there is no liquid: the point fails with a code.
    code = co2_evaluate(20.0_c_double, 0.001_c_double, at_solubility, values, flags, message, &
                        size(message, kind=c_size_t))
    print '(a, i0, 2a)', '20 C, 0.001 MPa: error ', code, ': ', from_c(message)
    code = co2_evaluate_curve(1_c_int, 40.0_c_double, at_solubility, values, flags, message, &
                              size(message, kind=c_size_t))
    print '(a, i0, 2a)', 'curve 1 at 40 C: error ', code, ': ', from_c(message)
end program
